// The process entry of a GUI program built on the framework: everything
// happens in the application object's InitializeInstance.
#include <windows.h>

#include "framework/system_library.h"
#include "framework/win_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int cmdShow) {
  // Before anything loads a DLL: none from the program's folder.
  RestrictDllSearchToSystem();
  return AfxWinMain(instance, cmdShow);
}
