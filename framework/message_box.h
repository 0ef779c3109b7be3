#pragma once
#include <windows.h>

// Every message box of the program is shown by one routine, with the owner,
// caption and style its caller chose (the application's boxes get theirs
// from AfxMessageBox, framework/win_app.h; the installer's from its own
// funnel). Tests install a recorder that keeps the boxes and scripts the
// answers.
class CMessageBoxRoutine {
 public:
  virtual ~CMessageBoxRoutine() = default;
  // Shows text with the MB_* style; returns the button pressed (IDOK, IDYES...).
  virtual int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) = 0;
};

// Installs the routine every box goes through; returns the previous one.
// Null restores the plain default (the system's message box).
CMessageBoxRoutine* SetMessageBoxRoutine(CMessageBoxRoutine* routine);

// Shows a box with this owner, caption and style through the installed
// routine (MessageBoxW, or MessageBoxA where the framework uses the 8-bit
// calls, when none is installed). Text and caption are the framework's text
// (framework/wide.h).
int AfxOwnedMessageBox(HWND owner, const char* text, const char* caption, UINT type);
