#pragma once
#include <windows.h>

// Every alert of the program goes through one routine. The application object
// installs itself as that routine (giving the boxes its caption and owner);
// tests install a recorder that keeps the text and style and scripts the answer.
class CMessageBoxRoutine {
 public:
  virtual ~CMessageBoxRoutine() = default;
  // Shows text with the MB_* style; returns the button pressed (IDOK, IDYES...).
  virtual int DoMessageBox(const char* text, UINT type) = 0;
};

// Installs the routine every AfxMessageBox goes through; returns the previous
// one. Null restores the plain default (MessageBoxA, no owner).
CMessageBoxRoutine* SetMessageBoxRoutine(CMessageBoxRoutine* routine);

// Shows a message box through the installed routine.
int AfxMessageBox(const char* text, UINT type = MB_OK);
