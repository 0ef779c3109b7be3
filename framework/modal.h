#pragma once
#include <windows.h>

// The modal loops the system runs for the program's dialogs (DialogBoxParam,
// GetOpenFileName), innermost last, and the exception kept meanwhile.
// Exceptions never cross system frames: window and dialog procedures catch
// them, keep the first one here and end the innermost modal dialog; the
// modal call rethrows it once its loop has returned.

// One running modal loop, the innermost while the object lives. `window` is
// the dialog's handle as it will be once the dialog exists.
class CModalScope {
 public:
  explicit CModalScope(const HWND& window);
  ~CModalScope();
  CModalScope(const CModalScope&) = delete;
  CModalScope& operator=(const CModalScope&) = delete;

 private:
  friend void EndInnermostModal();

  const HWND& m_hWindow;
  CModalScope* m_pOuter;
};

// Ends the innermost running modal dialog with -1 (after a kept exception).
void EndInnermostModal();

// Keeps the exception being handled, unless one is kept already.
void AfxKeepException();
// Rethrows and clears the kept exception, if any.
void AfxRethrowKeptException();
