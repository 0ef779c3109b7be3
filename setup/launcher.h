#pragma once
#include <windows.h>

#include <string>

// The setup launcher: starts the main program in its install mode from the
// folder that holds setup.exe, and ends without waiting for it. Given the
// installer's switches (installer/switches.h), it passes them on after
// "/install", waits until the installation has ended and returns its code.

// The one command line it starts. With no application name, CreateProcessA
// looks for "Velmora.exe" first in the folder of setup.exe, then in the
// current folder and on the search path.
constexpr const char kSetupCommandLine[] = "Velmora /install";
// The one message it shows, when that start fails.
constexpr const char kSetupErrorText[] = "Unable to run \"Velmora /install\".";
constexpr const char kSetupErrorCaption[] = "Error";

// Starts kSetupCommandLine; when the start fails, says so in a message box
// with no owner (MB_ICONEXCLAMATION, OK). Returns the exit code, always 0.
// `arguments` (setup's own command line) that are switches alone go on
// after it: the launcher then waits and returns the installation's exit
// code (1 when the start fails, with the box only when not silent). Any
// other arguments are dropped. The arguments are UTF-8 where the routines
// start the program with the wide call, else the system's 8-bit text.
int RunSetupLauncher(const std::string& arguments = std::string());

// setup's own arguments: on the NT family its command line in UTF-16 made
// UTF-8 (a /DIR= or /LOG= may hold any script), else the 8-bit tail WinMain
// was given.
std::string SetupArguments(const char* ansiTail);

// Where the launcher meets the system; tests replace them.
struct CLauncherRoutines {
  BOOL(WINAPI* createProcess)(LPCSTR applicationName, LPSTR commandLine,
                              LPSECURITY_ATTRIBUTES processAttributes,
                              LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                              DWORD creationFlags, LPVOID environment, LPCSTR currentDirectory,
                              LPSTARTUPINFOA startupInfo, LPPROCESS_INFORMATION processInformation);
  int(WINAPI* messageBox)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
  // Waits for the started installation; its exit code.
  DWORD (*waitForExit)(HANDLE process);
  // The wide start of the NT family, which the launcher takes where it is
  // set (with UTF-8 arguments); null: createProcess.
  BOOL(WINAPI* createProcessW)(LPCWSTR applicationName, LPWSTR commandLine,
                               LPSECURITY_ATTRIBUTES processAttributes, LPSECURITY_ATTRIBUTES threadAttributes,
                               BOOL inheritHandles, DWORD creationFlags, LPVOID environment,
                               LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                               LPPROCESS_INFORMATION processInformation);
};
// The system's routines (CreateProcessW on the NT family, else CreateProcessA;
// MessageBoxA, a wait without limit).
CLauncherRoutines DefaultLauncherRoutines();
// The routines in use.
const CLauncherRoutines& LauncherRoutines();
// Installs the routines; returns the previous set.
CLauncherRoutines SetLauncherRoutines(const CLauncherRoutines& routines);
