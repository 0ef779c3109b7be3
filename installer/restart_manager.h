#pragma once
#include <windows.h>
// After windows.h, which it needs.
#include <restartmanager.h>

#include <string>
#include <vector>

enum class CloseResult;

// The Restart Manager (Windows Vista on) tells which processes use a file,
// in every session: copies of the program that other users run, or that a
// deployment running as LocalSystem cannot see among its windows. Loaded at
// run time from the system folder; older systems have only the window search.

struct CRestartManagerRoutines {
  DWORD(WINAPI* startSession)(DWORD* session, DWORD flags, WCHAR key[]);
  DWORD(WINAPI* endSession)(DWORD session);
  DWORD(WINAPI* registerResources)
  (DWORD session, UINT fileCount, LPCWSTR files[], UINT processCount, RM_UNIQUE_PROCESS processes[], UINT serviceCount,
   LPCWSTR services[]);
  DWORD(WINAPI* getList)(DWORD session, UINT* needed, UINT* count, RM_PROCESS_INFO processes[], LPDWORD reasons);
  DWORD(WINAPI* shutdown)(DWORD session, ULONG flags, RM_WRITE_STATUS_CALLBACK status);
};

// The system's routines (rstrtmgr.dll from the system folder, loaded on the
// first call); all null where the system lacks them.
CRestartManagerRoutines SystemRestartManager();

// Asks the processes that use any of `files` (other than this one and the
// one that started it) to end, the way Windows asks before it shuts down;
// where one stays, the user answers "Please exit the program <name>." with
// OK (look again) or Cancel. kClosed at once without the Restart Manager or
// without files.
CloseResult CloseFileUsers(HWND owner, const std::vector<std::string>& files, const std::string& programName);
