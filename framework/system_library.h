#pragma once
#include <windows.h>

#include <string>

// Where the program looks for DLLs. Windows searches the program's own
// folder first for every DLL that is not one of its KnownDLLs, and the
// program often runs from a download folder that anyone's download can
// drop a DLL into; so the search is restricted to the system folder before
// anything else runs, and every DLL the program loads is named by its full
// path in the system folder.

// Restricts the DLL search of this process to the system folder
// (SetDefaultDllDirectories where the system has it, else SetDllDirectoryW
// with an empty name, which at least takes the current folder out). True
// when the search was restricted to the system folder.
bool RestrictDllSearchToSystem();

// The full path of `name` in the system folder ("C:\Windows\System32\name");
// empty when the system folder cannot be told.
std::string SystemLibraryPath(const char* name);

// Loads `name` from the system folder by its full path; null when it is not
// there.
HMODULE LoadSystemLibrary(const char* name);
