#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "installer/install_run.h"

// Installing: whether this start installs at all (the check against the
// record), then step 1 in the program as it was started (close running
// copies, the licence, the install folder and its checks, the desktop link
// question, the copy, and the start of step 2 in the install folder), then
// step 2 in the installed copy (the Run and App Paths entries, registry
// values, links, the uninstall entry and the installation record).

// The check at every start that is no uninstall: goes on when the recorded
// version runs from the recorded folder, hands over to the installed copy
// when that is elsewhere, else asks and installs. `tail` is the mode
// ("/install", "/installstep2") or whatever the program was given.
RunResult RunInstallCheck(CInstallRun& run, const std::string& tail);

// Install step 2, in the copy started from the install folder.
RunResult RunInstallStep2(CInstallRun& run);

// The KB that the files occupy in `folder` (each rounded up to whole KB).
DWORD InstalledSizeKB(const std::string& folder, const std::vector<std::string>& names);
