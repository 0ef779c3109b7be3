#pragma once
#include <windows.h>

// Shows the hourglass for the life of the object and then puts back the
// cursor that was there before.
class CWaitCursor {
 public:
  CWaitCursor();
  ~CWaitCursor();
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;

 private:
  HCURSOR m_hPrevious;
};
