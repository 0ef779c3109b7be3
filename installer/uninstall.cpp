#include "installer/uninstall.h"

#include <cstdlib>
#include <memory>

#include "app_base/settings.h"
#include "framework/file_system.h"
#include "framework/handle.h"
#include "framework/path.h"
#include "framework/win_app.h"
#include "installer/deferred.h"
#include "installer/destination_dlg.h"
#include "installer/elevation.h"
#include "installer/install_job.h"
#include "installer/install_paths.h"
#include "installer/install_record.h"
#include "installer/installer_routines.h"
#include "installer/progress_box.h"
#include "installer/registry_records.h"

namespace {

// How long the finishing copy waits for the installed copy to end.
const DWORD kFinishWaitMs = 60000;

// The installation an uninstall removes: the one whose record names the
// folder the program runs from. An installation for this user beside one
// for all users is the other's business: neither uninstall touches it.
struct CUninstallScope {
  bool forMachine = false;         // the installation for all users
  bool recordsThisFolder = false;  // a record names the program's folder
  bool otherKept = false;          // this user's own installation stays beside the machine's
};

bool SameFolder(const std::string& recorded, const std::string& folder) {
  return !recorded.empty() && !folder.empty() && SamePathText(WithSeparator(recorded), folder);
}

CUninstallScope UninstallScopeOf(const CInstallNames& names) {
  const CInstallRecord machine = ReadInstallRecordOf(true, names.selfInstallKey);
  const CInstallRecord user = ReadInstallRecordOf(false, names.selfInstallKey);
  CUninstallScope scope;
  if (SameFolder(machine.installFolder, names.moduleFolder)) {
    scope.forMachine = scope.recordsThisFolder = true;
  } else if (SameFolder(user.installFolder, names.moduleFolder)) {
    scope.recordsThisFolder = true;
  } else {
    // No record names this folder: the machine's installation when there
    // is any trace of one, as the start-up check reads the records.
    scope.forMachine = !machine.installFolder.empty() ||
                       RegistryKeyExists(HKEY_LOCAL_MACHINE, names.uninstallKey.c_str()) ||
                       RegistryKeyExists(HKEY_LOCAL_MACHINE, names.selfInstallKey.c_str());
  }
  scope.otherKept = scope.forMachine && scope.recordsThisFolder && !user.installFolder.empty() &&
                    !SameFolder(user.installFolder, names.moduleFolder);
  return scope;
}

// Whether this run may remove the installation: elevated for one for all
// users, a job only from the installed copy, and only after a Yes, with
// the running copies closed. False when the run ends (its code set, unless
// an elevated copy did the uninstall).
bool MayUninstall(CInstallRun& run, const CUninstallScope& scope) {
  const CInstallNames& names = run.names;
  const CInstallManifest& manifest = run.manifest;
  HWND backdrop = run.backdrop.GetSafeHwnd();
  const bool silent = InstallJobIsSilent();
  // Removing a machine-wide installation needs an elevated process. Without
  // one the machine-wide entries and the program's files would stay while
  // the rest went, so nothing is removed and the user is told why. A user's
  // own installation never asks for elevation.
  if (scope.forMachine) {
    const Elevation elevation = ElevateIfNeeded(run, kUninstallSwitch, false);
    if (elevation == Elevation::kRestarted) return false;
    if (elevation == Elevation::kDeclined) {
      run.backdrop.ShowWithTitle(SW_SHOW, "Uninstall");
      InstallerMessageBox(backdrop,
                          names.appTitle +
                              " was installed for all users of this computer. "
                              "Uninstalling it needs administrator rights.\n\nNothing has been removed.",
                          MB_OK | MB_ICONEXCLAMATION);
      run.End(run.exitCode != InstallExitCode::kDone ? run.exitCode : InstallExitCode::kCancelled);
      return false;
    }
  }

  run.backdrop.ShowWithTitle(SW_SHOW, "Uninstall");
  // Nobody confirms a job's uninstall: it removes only the installed copy,
  // never the files of whatever folder the program was started from.
  if (run.switched && !scope.recordsThisFolder) {
    const std::string recorded = RecordedInstallFolder(names.selfInstallKey);
    InstallerMessageBox(backdrop,
                        names.appTitle + " is not installed in " + names.moduleFolder +
                            (recorded.empty() ? std::string(".") : ", but in " + recorded + ".") +
                            "\n\nNothing has been removed.",
                        MB_OK | MB_ICONEXCLAMATION);
    run.End(InstallExitCode::kFailed);
    return false;
  }
  // Only Yes removes anything: a box closed from outside, or one that could
  // not be shown, is no consent.
  if (!silent && InstallerMessageBox(backdrop, "Are you sure you want to uninstall " + names.appTitle + "?",
                                     MB_YESNO | MB_ICONQUESTION) != IDYES) {
    run.End(InstallExitCode::kCancelled);
    return false;
  }
  if (InstallerRoutines().closeRunningPrograms(
          backdrop, manifest.CloseWindowClass, manifest.CloseWindowTitle, names.appTitle, manifest.ProgramsToClose,
          FilesIn(names.moduleFolder, manifest.FilesToCopy)) == CloseResult::kCancelled) {
    LogInstallStep("Close running copies: failed (a running copy did not close)");
    run.End(silent ? InstallExitCode::kFailed : InstallExitCode::kCancelled);
    return false;
  }
  LogInstallStep("Close running copies: done");
  return true;
}

// The links, wherever an earlier version put them, and the registry: the
// program's keys, the uninstall entry, the Run and App Paths entries and the
// manifest's values and keys; of this user's installation only this user's,
// of the one for all users the machine's (and this user's too, unless the
// user has an installation of their own beside it).
void RemoveLinksAndRecords(const CInstallRun& run, const CUninstallScope& scope) {
  const CInstallNames& names = run.names;
  const CInstallManifest& manifest = run.manifest;
  const bool machine = scope.forMachine;
  const bool user = !scope.forMachine || !scope.otherKept;
  // Wherever an earlier version put them: the user's folders or all users'.
  for (const CSelfInstallShortcut& shortcut : manifest.Shortcuts) {
    if (user) shortcut.Remove();
    if (machine) shortcut.Remove(true);
  }

  if (user) {
    DeleteRegKeyTree(HKEY_CURRENT_USER, names.appKey);
    DeleteRegKeyTree(HKEY_CURRENT_USER, names.uninstallKey);
    LogInstallStep("Remove HKCU\\" + names.appKey + ": done");
    LogInstallStep("Remove HKCU\\" + names.uninstallKey + ": done");
  }
  if (machine) {
    DeleteRegKeyTree(HKEY_LOCAL_MACHINE, names.appKey);
    DeleteRegKeyTree(HKEY_LOCAL_MACHINE, names.uninstallKey);
    LogInstallStep("Remove HKLM\\" + names.appKey + ": done");
    LogInstallStep("Remove HKLM\\" + names.uninstallKey + ": done");
  }
  if (manifest.RunAtStartup) SetRunAtStartup("", 0);
  if (manifest.AppPath) SetAppPath(manifest.ExeName, "", 0);
  for (const CSelfInstallRegValue& value : manifest.RegValues) {
    DeleteRegistryValue(value.Root, value.SubKey.c_str(), value.ValueName.c_str());
  }
  for (const CSelfInstallRegKey& key : manifest.RegKeys) DeleteRegKeyTree(key.Root, key.SubKey);
  if (user) DeleteRegKeyIfNoSubkeys(HKEY_CURRENT_USER, GetRegistryKeyPath());
  if (machine) DeleteRegKeyIfNoSubkeys(HKEY_LOCAL_MACHINE, GetRegistryKeyPath());

  // The framework writes no profile settings at exit once the shell command
  // says the application is being unregistered.
  CWinApp* app = AfxGetApp();
  if (user && app != nullptr && app->m_pCmdInfo == nullptr) {
    app->m_pCmdInfo = std::make_unique<CCommandLineInfo>();
    app->m_pCmdInfo->m_nShellCommand = CCommandLineInfo::AppUnregister;
  }
}

// The manifest's files, those to copy and those to delete.
std::vector<std::string> ManifestFiles(const CInstallManifest& manifest) {
  std::vector<std::string> files = manifest.FilesToCopy;
  files.insert(files.end(), manifest.FilesToDelete.begin(), manifest.FilesToDelete.end());
  return files;
}

// Deletes the manifest's files in the program's folder, or puts their
// deletion off to the next start of Windows (`deferred`); `left` receives
// those that neither happened to.
void DeleteProgramFiles(const CInstallRun& run, bool& deferred, std::vector<std::string>& left) {
  const std::string& folder = run.names.moduleFolder;
  std::vector<std::string> files = ManifestFiles(run.manifest);
  // Without the program's own folder the bare names would be taken in the
  // current folder, whose files of those names are not the program's.
  if (folder.empty()) files.clear();
  for (const std::string& name : files) {
    const std::string path = folder + name;
    if (GetFileAttributesNamed(path.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    // A read-only file (from an earlier version) would be refused and put
    // off to the next start although nothing uses it.
    ClearReadOnly(path);
    if (DeleteFileOrDefer(path) == DeleteResult::kDeferred) {
      deferred = true;
      LogInstallStep("Delete " + path + ": in use, deleted when Windows next starts");
    } else if (GetFileAttributesNamed(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
      left.push_back(path);
      LogInstallStep("Delete " + path + ": failed (neither deleted nor put off to the next start)");
    } else {
      LogInstallStep("Delete " + path + ": done");
    }
  }
}

// Starts a copy of the program from the temporary folder that deletes the
// installed files once this process has ended; false when it cannot.
bool StartUninstallFinisher(const CInstallRun& run) {
  const CInstallNames& names = run.names;
  const std::string tempFolder = TempFolderPath();
  if (tempFolder.empty() || names.modulePath.empty()) return false;
  const std::string copy =
      WithSeparator(tempFolder) + names.instanceKey + "Uninstall-" + std::to_string(GetCurrentProcessId()) + ".exe";
  if (!CopyFileNamed(names.modulePath.c_str(), copy.c_str(), FALSE)) return false;
  ClearReadOnly(copy);
  std::string folder = names.moduleFolder;
  while (!folder.empty() && IsPathSeparator(folder.back())) folder.pop_back();
  const std::string command = QuotedCommand(
      copy, std::string(kFinishUninstallSwitch) + " " + std::to_string(GetCurrentProcessId()) + " \"" + folder + "\"");
  // The copy goes once it has done its work: this process opens it to be
  // deleted when the last handle to it closes and hands that handle to the
  // copy, which holds it until it ends (a running program cannot delete its
  // own file, and a standard user cannot put the deletion off to the next
  // start). Where the copy does not start, the handle's close deletes it.
  CHandle holder(CreateFileNamed(copy.c_str(), DELETE | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                 OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE));
  if (InstallerRoutines().runHolding(command.c_str(), tempFolder.c_str(), holder.IsValid() ? holder.Get() : nullptr))
    return true;
  if (!holder.IsValid()) DeleteFileNamed(copy.c_str());
  return false;
}

}  // namespace

RunResult RunUninstall(CInstallRun& run) {
  const CUninstallScope scope = UninstallScopeOf(run.names);
  LogInstallStep(std::string("Uninstall the installation ") + (scope.forMachine ? "for all users" : "for this user"));
  if (!MayUninstall(run, scope)) return RunResult::kEndProcess;
  const CInstallNames& names = run.names;
  HWND backdrop = run.backdrop.GetSafeHwnd();
  const bool silent = InstallJobIsSilent();

  auto progress = std::make_unique<CProgressBox>("Uninstalling the program...", backdrop);
  RemoveLinksAndRecords(run, scope);

  bool deferred = false;
  std::vector<std::string> left;  // neither deleted nor put off to the next start
  DeleteProgramFiles(run, deferred, left);
  // Without the right to put deletions off to the next start (a standard
  // user's own installation), a copy outside the folder finishes once this
  // program has ended; where even that cannot start, the user is told.
  bool finishing = false;
  if (!left.empty()) {
    finishing = StartUninstallFinisher(run);
    LogInstallResult("Start the copy that deletes the rest once this one has ended", finishing);
    if (!finishing) {
      std::string list;
      for (const std::string& path : left) list += path + "\n";
      InstallerMessageBox(backdrop,
                          "These files of " + names.appTitle + " could not be removed:\n\n" + list +
                              "\nPlease delete them, and the folder " + names.moduleFolder + ", once " +
                              names.appTitle + " has ended.",
                          MB_OK | MB_ICONEXCLAMATION);
    }
  }
  // The folder goes too once nothing is left in it: now, or after the
  // deferred deletions at the next start (it stays if anything else is in it).
  // (Never a drive root: "C:" alone would name the current folder.)
  if (names.moduleFolder.size() > 3 && !finishing) {
    std::string folder = names.moduleFolder.substr(0, names.moduleFolder.size() - 1);
    if (RemoveDirectoryNamed(folder.c_str())) {
      LogInstallStep("Remove the folder " + folder + ": done");
    } else if (deferred) {
      LogInstallResult("Remove the folder " + folder + " when Windows next starts",
                       MoveFileAtRestart(folder.c_str(), nullptr) != FALSE);
    }
  }

  progress->DestroyWindow();
  // A silent job, or one told not to, never restarts Windows: its exit code
  // says that a restart finishes it.
  if (deferred && !silent && !(run.switched && run.switches.noRestart) &&
      InstallerMessageBox(backdrop,
                          "Some of the files could not be deleted because they are in use. "
                          "Please reboot the computer to finish uninstalling " +
                              names.appTitle + ".\n\nDo you want to reboot the computer now?",
                          MB_YESNO | MB_ICONQUESTION) == IDYES) {
    run.backdrop.DestroyWindow();
    LogInstallStep("Restart Windows");
    ExitWindowsWithPrivilege(EWX_REBOOT);
  }
  progress.reset();
  if (!left.empty() && !finishing) return run.End(InstallExitCode::kFailed);
  return run.End(deferred ? InstallExitCode::kRestartNeeded : InstallExitCode::kDone);
}

RunResult FinishUninstall(const CInstallRun& run, const std::string& arguments) {
  // Only the copy the uninstall made does this: a copy in the temporary
  // folder. Started anywhere else, the switch is no request of ours.
  const std::string temp = TempFolderPath();
  if (temp.empty() || !SamePathText(WithSeparator(temp), run.names.moduleFolder)) return RunResult::kEndProcess;
  // "<process id> "<folder>"": anything else is no request of ours either.
  const size_t quote = arguments.find('"');
  if (quote == std::string::npos || arguments.size() < quote + 2 || arguments.back() != '"')
    return RunResult::kEndProcess;
  const DWORD processId = static_cast<DWORD>(std::strtoul(arguments.c_str(), nullptr, 10));
  const std::string folder = arguments.substr(quote + 1, arguments.size() - quote - 2);
  if (folder.empty() || IsRootFolder(folder) || IsMissingFolder(folder)) return RunResult::kEndProcess;
  {
    CHandle installed(OpenProcess(SYNCHRONIZE, FALSE, processId));
    if (installed.IsValid()) WaitForSingleObject(installed, kFinishWaitMs);
  }
  for (const std::string& name : ManifestFiles(run.manifest)) {
    const std::string path = WithSeparator(folder) + name;
    ClearReadOnly(path);
    // The system may hold an ended program's file for a moment.
    for (int attempt = 0; attempt < 20 && !DeleteFileNamed(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND;
         ++attempt)
      Sleep(100);
  }
  RemoveDirectoryNamed(folder.c_str());  // only when nothing else is in it
  return RunResult::kEndProcess;
}
