// setup.exe: starts "Velmora /install" beside it and ends. Its own arguments
// are not passed on.
#include <windows.h>

#include "setup/launcher.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunSetupLauncher(); }
