// Stands for a DLL that a download left in the folder the program runs
// from: it only says that it is there.
#include <windows.h>

extern "C" __declspec(dllexport) int PlantedLibrary() { return 1; }
