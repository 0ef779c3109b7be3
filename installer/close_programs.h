#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Closing running copies of a program before its files are replaced or
// removed. Copies are found by the class name or, when that is empty, the
// caption of their top-level windows (exact, case-sensitive), in processes
// that run a program of this process's file name (where the system can tell
// a window's program). Each is asked
// the way Windows asks before it shuts down (WM_QUERYENDSESSION, then
// WM_CLOSE); one that cannot be closed that way makes the user answer
// "Please exit the program <name>." with OK (look again) or Cancel.
//
// No wait is unbounded: every message to another program's window gives up
// after InstallerRoutines().messageTimeout milliseconds (or at once when the system deems
// the program hung) and the window counts as refusing; a window that is
// still there that long after its WM_CLOSE counts as refusing too (it gets
// WM_CLOSE only once); and
// after a fixed number of passes every window still met is left to the user.

// A further program the manifest names to be closed.
struct CSelfInstallProgram {
  std::string WindowClass;  // empty: find it by WindowTitle
  std::string WindowTitle;
  std::string ProgramName;  // for "Please exit the program ..."
};

// How a closing ended: no matching window is left, or the user cancelled.
enum class CloseResult { kClosed, kCancelled };

// Closes the program's windows and then those of each further program, in
// order, under the wait cursor and the "Closing programs..." progress box
// owned by `owner`; then, where the system has the Restart Manager, the
// processes in any session that still use one of `files` (the installed
// copy's files; CloseFileUsers). On kCancelled the rest is left alone.
CloseResult CloseRunningPrograms(HWND owner, const std::string& windowClass, const std::string& windowTitle,
                                 const std::string& programName, const std::vector<CSelfInstallProgram>& more,
                                 const std::vector<std::string>& files = std::vector<std::string>());

// Passes over the top-level windows until one pass meets no matching window
// (kClosed) or the user cancels (kCancelled). Both class and title empty:
// kClosed at once. The calling program's own main window is never a match.
CloseResult CloseProgramWindows(HWND owner, const std::string& windowClass,
                        const std::string& windowTitle, const std::string& programName);
