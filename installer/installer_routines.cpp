#include "installer/installer_routines.h"

#include "app_base/module.h"
#include "app_base/settings.h"
#include "framework/file_system.h"
#include "framework/wide.h"
#include "installer/destination_dlg.h"
#include "installer/elevation.h"
#include "installer/folder_security.h"
#include "installer/license_dlg.h"

namespace {

bool MachineKeyDefault(const char* subkey) { return EnsureRegistryKey(HKEY_LOCAL_MACHINE, subkey); }

CInstallerRoutines g_routines = DefaultInstallerRoutines();

}  // namespace

CInstallerRoutines DefaultInstallerRoutines() {
  CInstallerRoutines routines;
  routines.runCommandLine = RunCommandLine;
  routines.runHolding = RunCommandLineHolding;
  routines.runAndWait = RunCommandLineAndWait;
  routines.showLicenseAgreement = ShowLicenseAgreement;
  routines.chooseDestinationFolder = ChooseDestinationFolder;
  routines.closeRunningPrograms = CloseRunningPrograms;
  routines.restartManager = SystemRestartManager;
  routines.getModulePath = GetModulePath;
  routines.needsElevation = ProcessNeedsElevation;
  routines.runsAsLocalSystem = ProcessRunsAsLocalSystem;
  routines.startElevated = StartElevated;
  routines.ensureMachineKey = MachineKeyDefault;
  routines.exitWindowsEx = ExitWindowsEx;
  routines.shellFolderPath = GetShellFolderPath;
  routines.copyFile = CopyFileNamed;
  routines.moveFileEx = MoveFileNamed;
  routines.othersMayChangeFolder = OthersMayChangeFolder;
  routines.othersMayMoveFolder = OthersMayMoveFolder;
  routines.secureFolder = SecureFolderForAllUsers;
  routines.isReparsePoint = IsReparsePoint;
  routines.isNetworkPath = IsNetworkPath;
  routines.universalPath = UniversalPath;
  routines.winInitRead = IsWindows9x();
  routines.winInitFolder = std::string();
  routines.messageTimeout = 5000;
  return routines;
}

const CInstallerRoutines& InstallerRoutines() { return g_routines; }

CInstallerRoutines SetInstallerRoutines(const CInstallerRoutines& routines) {
  CInstallerRoutines previous = g_routines;
  g_routines = routines;
  return previous;
}
