// setup.exe: starts "Velmora /install" beside it and ends. Its own arguments
// are passed on only when they are the installer's switches.
#include <windows.h>

#include "setup/launcher.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int) { return RunSetupLauncher(arguments); }
