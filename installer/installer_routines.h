#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "installer/close_programs.h"
#include "installer/restart_manager.h"

// Where the installer meets the system in a way a test must not reach for
// real: starting processes, the dialogs that wait for a user, elevation,
// machine-wide keys, restarting Windows, the requests for the next start and
// the waits for other programs. One set for the whole installer; every
// member is set (the defaults are the real routines). Tests put their own
// set in place for a scope (tests/support/scoped_routines.h).
struct CInstallerRoutines {
  // Starts a process without waiting (RunCommandLine).
  bool (*runCommandLine)(const char* commandLine, const char* currentFolder);
  // Starts a process without waiting that keeps a handle of this one open
  // for its whole run (RunCommandLineHolding).
  bool (*runHolding)(const char* commandLine, const char* currentFolder, HANDLE held);
  // Starts a process and waits until it has ended (RunCommandLineAndWait).
  bool (*runAndWait)(const char* commandLine, const char* currentFolder, DWORD* exitCode);
  // The licence dialog; true when the licence was declined.
  bool (*showLicenseAgreement)(HWND parent, const std::string& sourceFolder);
  // The destination dialog; true when the user did not accept.
  bool (*chooseDestinationFolder)(HWND parent, std::string& installFolder, const std::string& sourceFolder,
                                  const std::string& appTitle, const std::vector<std::string>& fileNames);
  // Closing running copies (CloseRunningPrograms).
  CloseResult (*closeRunningPrograms)(HWND owner, const std::string& windowClass, const std::string& windowTitle,
                                      const std::string& programName, const std::vector<CSelfInstallProgram>& more,
                                      const std::vector<std::string>& files);
  // The Restart Manager's routines (SystemRestartManager); all null where
  // the system lacks them.
  CRestartManagerRoutines (*restartManager)();
  // The running program's full path (GetModulePath).
  std::string (*getModulePath)();
  // True when the system separates administrators from elevated processes
  // and this process is not elevated.
  bool (*needsElevation)();
  // True when this process runs as the system account (LocalSystem).
  bool (*runsAsLocalSystem)();
  // Starts the program elevated with these arguments; 0 when started,
  // otherwise the system error (ERROR_CANCELLED: the user declined). With
  // `exitCode`, waits until the elevated copy has ended and gives its code.
  DWORD (*startElevated)(const std::string& program, const std::string& arguments, DWORD* exitCode);
  // Makes a key under HKEY_LOCAL_MACHINE (EnsureRegistryKey); false refuses.
  bool (*ensureMachineKey)(const char* subkey);
  // ExitWindowsEx: it really ends every program (under Wine every windowed
  // process of the prefix), so code under test must never reach it.
  BOOL(WINAPI* exitWindowsEx)(UINT flags, DWORD reason);
  // The folder the system keeps for a CSIDL (GetShellFolderPath); false
  // where the system cannot say, and the links then take the folders the
  // registry names.
  bool (*shellFolderPath)(int csidl, std::string& path);
  // CopyFile, for the program's files. On NTFS it copies a file's streams
  // too, the download's zone mark among them.
  BOOL(WINAPI* copyFile)(LPCSTR existing, LPCSTR newName, BOOL failIfExists);
  // MoveFileEx; a failing one takes the WinInit.Ini way on Windows 95, 98 and Me.
  BOOL(WINAPI* moveFileEx)(LPCSTR existing, LPCSTR newName, DWORD flags);
  // Whether the system reads WinInit.Ini at its start (Windows 95, 98 and
  // Me): the NT family never does, and a request written there would be
  // one that nothing carries out.
  bool winInitRead;
  // The folder that holds WinInit.Ini, without a final backslash; empty
  // means the Windows folder (GetWindowsDirectory).
  std::string winInitFolder;
  // The permissions of an installation for all users (folder_security.h):
  // whether others may change a folder or rename one on its path, giving a
  // made folder permissions of its own, and whether a path is a junction or
  // other reparse point.
  bool (*othersMayChangeFolder)(const std::string& folder);
  bool (*othersMayMoveFolder)(const std::string& folder);
  bool (*secureFolder)(const std::string& folder);
  bool (*isReparsePoint)(const std::string& path);
  // Whether a path lies on another computer, and the UNC form of a path on
  // a mapped network drive (IsNetworkPath, UniversalPath).
  bool (*isNetworkPath)(const std::string& path);
  std::string (*universalPath)(const std::string& path);
  // How long one message to another program's window may take, in ms
  // (the program's own: 5000).
  DWORD messageTimeout;
};

// The system's routines.
CInstallerRoutines DefaultInstallerRoutines();
// The routines in use.
const CInstallerRoutines& InstallerRoutines();
// Installs the routines; returns the previous set.
CInstallerRoutines SetInstallerRoutines(const CInstallerRoutines& routines);
