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
  // Shows a box whose owner and caption the caller chooses (the installer's
  // boxes). A routine that does not care about them answers it as any box.
  virtual int DoOwnedMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    (void)owner;
    (void)caption;
    return DoMessageBox(text, type);
  }
};

// Installs the routine every AfxMessageBox goes through; returns the previous
// one. Null restores the plain default (MessageBoxA, no owner).
CMessageBoxRoutine* SetMessageBoxRoutine(CMessageBoxRoutine* routine);

// Shows a message box through the installed routine.
int AfxMessageBox(const char* text, UINT type = MB_OK);
// Shows a box with this owner and caption through the installed routine
// (MessageBoxA itself when none is installed).
int AfxOwnedMessageBox(HWND owner, const char* text, const char* caption, UINT type);
