#pragma once
#include <windows.h>

#include <string>

#include "framework/path.h"  // FolderOfPath, as GetModuleFolder forms it

// Where the running program lies, and starting another program.

// The running executable's full path; empty on failure or when it needs 259
// characters or more.
std::string GetModulePath();
// The drive and folder of GetModulePath, ending with a separator; empty when
// the path is.
std::string GetModuleFolder();
// Starts `commandLine` in `currentFolder` (null: ours) without waiting; true
// when the process was started.
bool RunCommandLine(const char* commandLine, const char* currentFolder = nullptr);
// Starts `commandLine` like RunCommandLine, handing it `held` (a handle of
// this process; null: none) to keep open for its whole run.
bool RunCommandLineHolding(const char* commandLine, const char* currentFolder, HANDLE held);
// Starts `commandLine` like RunCommandLine and waits until it has ended,
// answering this thread's window messages meanwhile; `exitCode` (may be
// null) receives its exit code. False when it could not be started.
bool RunCommandLineAndWait(const char* commandLine, const char* currentFolder, DWORD* exitCode);
// Waits for `process` to end, answering this thread's window messages
// meanwhile; its exit code (-1 when it cannot be read).
DWORD WaitForProcessPumping(HANDLE process);
