#pragma once
#include <windows.h>

#include <string>

struct CInstallRun;

// Elevation: whether a run restarts itself elevated, the marked copy that
// the restart starts, and waiting for it. A run that may not or cannot
// elevate goes on as an installation for this user only.

// Put before the command-line tail of the copy that elevation starts, so
// that the copy starts no further one; the driver takes it off again.
constexpr const char kElevatedMark[] = "/elevatedcopy";
// The tail without the mark; `marked` says whether it had one.
std::string StripElevatedMark(const std::string& tail, bool& marked);

// How ElevateIfNeeded went: nothing to do (or a job for this user); an
// elevated copy did the run (this one ends); elevation was declined or not
// possible (the run goes on for this user, unless the job's exit code says
// it failed or was cancelled).
enum class Elevation { kNotNeeded, kRestarted, kDeclined };

// Restarts the run for `mode` elevated when the system wants that. An
// elevated copy of an installation is waited for, and the installed program
// then started for this user unless the job is silent.
Elevation ElevateIfNeeded(CInstallRun& run, const std::string& mode, bool install);

// The real elevation routines (the installer's routines' defaults).
bool ProcessNeedsElevation();
// True when this process runs as the system account (LocalSystem), as
// deployment tools run installations.
bool ProcessRunsAsLocalSystem();
DWORD StartElevated(const std::string& program, const std::string& arguments, DWORD* exitCode);
