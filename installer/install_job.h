#pragma once
#include <windows.h>

#include <string>

#include "installer/switches.h"

// The installer's job in this process: how much of it shows and where its
// log goes. A run without switches shows everything and logs nothing. The
// driver sets it once, at the start of its run; the installer's windows,
// message boxes and steps read it.
void SetInstallJob(const CInstallSwitches& switches);
const CInstallSwitches& InstallJob();

// No question, no message box, no dialog: /SILENT or /VERYSILENT.
bool InstallJobIsSilent();
// The progress boxes show: everything but /VERYSILENT.
bool InstallJobShowsProgress();

// Why the log file cannot be written safely, in words for a message; empty
// when it can. A junction or symbolic link on its path, or the file itself
// being one, would send the lines (written with the installer's rights,
// often an administrator's) wherever it points; a file with other names
// (hard links) would change those files too.
std::string LogFileRefusal(const std::string& log);

// Appends "<local date and time> <step>" to the log, if there is one. Line
// breaks in `step` become blanks. A log that cannot be written is passed
// over: the job goes on. Nothing is written to a file that has become a
// reparse point or a file of several names since the job began.
void LogInstallStep(const std::string& step);
// `step` + ": done", or + ": failed (error N: system text)". Returns `ok`.
bool LogInstallResult(const std::string& step, bool ok, DWORD error);
// The same with GetLastError() for a failure, taken before anything else.
bool LogInstallResult(const std::string& step, bool ok);
