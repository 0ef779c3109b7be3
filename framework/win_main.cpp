// The process entry of a GUI program built on the framework: everything
// happens in the application object's InitializeInstance.
#include <windows.h>

#include "framework/win_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int cmdShow) {
  return AfxWinMain(instance, cmdShow);
}
