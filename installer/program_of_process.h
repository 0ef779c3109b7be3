#pragma once
#include <windows.h>

#include <string>

// Which program a process runs, so that only windows of this program's
// copies are asked to close, never another program's window that happens to
// have the same caption (an Explorer window on the install folder is titled
// like the program).

// The file name (no folder) of the program the process runs, e.g.
// "Velmora.exe"; empty when the system cannot tell (Windows 95 to ME, or
// a process this one may not query).
std::string ProgramFileOfProcess(DWORD processId);

// The file name of the program this process runs.
std::string OwnProgramFile();

// Whether a window of the process may be a copy of the program `ownProgram`
// names: its program has that file name, or the system cannot tell.
bool MayRunProgram(DWORD processId, const std::string& ownProgram);

// The id of the process that started this one; 0 when it cannot be told.
DWORD ParentProcessId();
