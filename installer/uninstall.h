#pragma once
#include <string>

#include "installer/install_run.h"

// Uninstalling: whether this user may (elevation for an installation for
// all users) and whether a job's copy is the installed one, the question,
// closing running copies, then the links, the registry entries and records,
// the files (or their deletion at the next start), the folder, and the
// restart question. Files that can be neither deleted nor put off are left
// to a copy of the program in the temporary folder, the finisher, which
// deletes them once this process has ended.

// "/uninstall" (also as a job with switches).
RunResult RunUninstall(CInstallRun& run);

// The finisher's switch: "/finishuninstall <process id> "<folder>"".
constexpr const char kFinishUninstallSwitch[] = "/finishuninstall";

// The finisher's work, given the arguments after its switch: waits for the
// installed copy, deletes the manifest's files in the folder and then the
// folder if nothing else is in it. Only a copy in the temporary folder does
// it. Always ends the process.
RunResult FinishUninstall(const CInstallRun& run, const std::string& arguments);
