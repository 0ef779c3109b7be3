// setup.exe: starts "Velmora /install" beside it and ends. Its own arguments
// are passed on only when they are the installer's switches.
#include <windows.h>

#include "framework/system_library.h"
#include "setup/launcher.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int) {
  // Before anything loads a DLL: none from the folder setup runs from.
  RestrictDllSearchToSystem();
  return RunSetupLauncher(SetupArguments(arguments));
}
