#include "installer/install_run.h"

#include "installer/elevation.h"
#include "installer/install_job.h"
#include "installer/install_paths.h"
#include "installer/installer_routines.h"

InstallExitCode JobCode(DWORD processExitCode) {
  switch (processExitCode) {
    case static_cast<DWORD>(InstallExitCode::kDone):
    case static_cast<DWORD>(InstallExitCode::kRestartNeeded):
    case static_cast<DWORD>(InstallExitCode::kCancelled): return static_cast<InstallExitCode>(processExitCode);
    default: return InstallExitCode::kFailed;
  }
}

std::string CInstallRun::ChildTail(const std::string& mode) const {
  std::string tail = elevationTried ? std::string(kElevatedMark) + " " + mode : mode;
  if (!switched) return tail;
  CInstallSwitches childSwitches = switches;
  // The copy decides nothing again that this one has decided.
  if (perUser) childSwitches.scope = InstallScope::kCurrentUser;
  return tail + FormatInstallSwitches(childSwitches);
}

bool CInstallRun::MachineKey(const std::string& subkey) const {
  if (perUser) return false;
  return InstallerRoutines().ensureMachineKey(subkey.c_str());
}

void CInstallRun::StartInstalledProgram(const std::string& installFolder) const {
  if (installFolder.empty()) return;
  const std::string command = "\"" + WithSeparator(installFolder) + manifest.ExeName + "\"";
  LogInstallResult("Start " + command, InstallerRoutines().runCommandLine(command.c_str(), installFolder.c_str()));
}
