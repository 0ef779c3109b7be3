#include "installer/install.h"

#include <memory>

#include "app_base/settings.h"
#include "framework/file_system.h"
#include "framework/path.h"
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

// What a failed job takes back: the folders it made and the files that were
// not there before it. (A file it replaced stays replaced.)
struct CCopyUndo {
  std::vector<std::string> madeFolders;
  std::vector<std::string> newFiles;

  void Undo() const {
    for (const std::string& file : newFiles) LogInstallResult("Remove " + file, DeleteFileNamed(file.c_str()) != FALSE);
    for (auto folder = madeFolders.rbegin(); folder != madeFolders.rend(); ++folder)
      LogInstallResult("Remove the folder " + *folder, RemoveDirectoryNamed(folder->c_str()) != FALSE);
  }
};

// Puts the question before an installation in `question`; false when this
// start handed over to the installed copy instead (it was started).
bool HandOverOrAsk(const CInstallRun& run, const CInstallRecord& record, const std::string& tail,
                   std::string& question) {
  const CInstallNames& names = run.names;
  const bool sameVersion = record.version == names.currentVersion;
  question = "You are about to ";
  if (!sameVersion) {
    question += record.installFolder.empty() ? "install a new copy" : "install a different version";
  } else if (tail == kInstallSwitch) {
    question += "re-install the same version";
  } else {
    std::string command = QuotedCommand(record.installFolder + run.manifest.ExeName, tail);
    if (InstallerRoutines().runCommandLine(command.c_str(), nullptr)) return false;
    question += "re-install the same version";
  }
  question += " of " + names.appTitle + ".\n\nIt is recommended to close all " + names.appTitle +
              " windows before continuing.\n\nDo you want to continue?";
  return true;
}

// Step 1 up to the install folder: the program's own folder is known, the
// running copies are closed and the licence is accepted. False when the run
// ends (its code set).
bool CloseCopiesAndAcceptLicence(CInstallRun& run, const CInstallRecord& record) {
  const CInstallNames& names = run.names;
  const CInstallManifest& manifest = run.manifest;
  HWND backdrop = run.backdrop.GetSafeHwnd();
  const bool silent = InstallJobIsSilent();
  // Without its own folder (a path too long to hold) the licence and the
  // files would be looked for in the current folder, and whatever copy of
  // the program lay in the install folder would be started as if installed.
  if (names.moduleFolder.empty()) {
    InstallerMessageBox(backdrop,
                        "Setup cannot tell which folder it was started from, because the folder's "
                        "path is too long.\n\nPlease move the files of " +
                            names.appTitle + " to a folder with a shorter path and start setup again.",
                        MB_OK | MB_ICONEXCLAMATION);
    run.End(InstallExitCode::kFailed);
    return false;
  }
  // The installed copy's files, which copies in other sessions may use:
  // those of the installation this one replaces.
  const std::string installed = run.perUser && record.forMachine
                                    ? ReadInstallRecordOf(false, names.selfInstallKey).installFolder
                                    : record.installFolder;
  if (InstallerRoutines().closeRunningPrograms(backdrop, manifest.CloseWindowClass, manifest.CloseWindowTitle,
                                               names.appTitle, manifest.ProgramsToClose,
                                               FilesIn(installed, manifest.FilesToCopy)) == CloseResult::kCancelled) {
    // A silent job asks nobody: a copy that did not close fails it.
    LogInstallStep("Close running copies: failed (a running copy did not close)");
    run.End(silent ? InstallExitCode::kFailed : InstallExitCode::kCancelled);
    return false;
  }
  LogInstallStep("Close running copies: done");
  if (silent) {
    LogInstallStep("Licence agreement: accepted by whoever runs the silent installation");
  } else if (InstallerRoutines().showLicenseAgreement(backdrop, names.moduleFolder)) {
    run.End(InstallExitCode::kCancelled);
    return false;
  }
  return true;
}

// Whether an installation for all users may go into `installFolder`: no
// folder of its path that exists is a junction or other reparse point (the
// files would land wherever it points), and an existing install folder may
// be changed by nobody but administrators and the system (anyone else could
// replace the program that administrators run), nor it or a folder above it
// renamed (a folder of theirs would take its place). False when the run
// ends.
bool MayInstallForAllUsersIn(CInstallRun& run, const std::string& installFolder) {
  const CInstallerRoutines& routines = InstallerRoutines();
  std::string folder = installFolder;
  while (folder.size() > 3 && IsPathSeparator(folder.back())) folder.pop_back();
  std::string reason;
  // Another computer's folder: who may change it is that computer's
  // business, and the system account of this one may not reach it at all.
  if (routines.isNetworkPath(folder)) reason = "it is a folder on another computer (a network share)";
  if (reason.empty()) {
    const std::string link = ReparsePointOnPath(folder);
    if (!link.empty()) reason = link + " is a link to another place (a junction or symbolic link)";
  }
  if (reason.empty() && GetFileAttributesNamed(folder.c_str()) != INVALID_FILE_ATTRIBUTES &&
      routines.othersMayChangeFolder(folder))
    reason = "users other than administrators may change the files in that folder";
  if (reason.empty() && routines.othersMayMoveFolder(folder))
    reason = "users other than administrators may rename that folder or one above it and put another in its place";
  if (reason.empty()) return true;
  LogInstallStep("Install folder " + installFolder + ": refused for all users (" + reason + ")");
  InstallerMessageBox(run.backdrop.GetSafeHwnd(),
                      run.names.appTitle + " cannot be installed for all users in " + folder + ", because " + reason +
                          ".\n\nPlease choose another folder, such as one in Program Files.",
                      MB_OK | MB_ICONEXCLAMATION);
  run.End(InstallExitCode::kFailed);
  return false;
}

// The install folder: /DIR=, else the recorded one, else this user's own
// for a per-user installation; then the destination dialog, or for a silent
// job that dialog's checks. False when the run ends (its code set).
bool ChooseInstallFolder(CInstallRun& run, const CInstallRecord& record, std::string& installFolder) {
  const CInstallNames& names = run.names;
  const std::string& given = run.switches.installFolder;
  installFolder = run.switched && !given.empty() ? given : record.installFolder;
  // An installation for this user (a job's, or the one that follows a
  // declined elevation) never goes into the folder of an installation for
  // all users (which it may not write, or would take over).
  if (run.perUser && given.empty() && record.forMachine)
    installFolder = GetSettingString(kSelfInstallSection, kDirectoryEntry, "");
  if (installFolder.empty() && run.perUser) installFolder = PerUserInstallFolder(names.appTitle);
  if (InstallJobIsSilent()) {
    // The destination dialog's checks, with the answers that go on: the
    // folder is made when it is missing; a drive root is refused.
    installFolder = ProposedInstallFolder(installFolder, names.moduleFolder, names.appTitle);
    std::string shown;
    if (CheckInstallFolder(installFolder, shown) == InstallFolderCheck::kRootRefused ||
        (!given.empty() && IsRootFolder(given))) {
      LogInstallStep("Install folder " + installFolder + ": refused (the root of a drive)");
      run.End(InstallExitCode::kFailed);
      return false;
    }
  } else if (InstallerRoutines().chooseDestinationFolder(run.backdrop.GetSafeHwnd(), installFolder, names.moduleFolder,
                                                         names.appTitle, run.manifest.FilesToCopy)) {
    run.End(InstallExitCode::kCancelled);
    return false;
  }
  LogInstallStep("Install folder " + installFolder);
  if (!run.perUser && !MayInstallForAllUsersIn(run, installFolder)) return false;

  // Files that the next start of Windows deletes must not be replaced by
  // the new ones first.
  std::string pending = FindPendingDeletionIn(installFolder);
  if (!pending.empty()) {
    InstallerMessageBox(run.backdrop.GetSafeHwnd(),
                        "The file " + pending +
                            " is to be deleted or replaced when Windows next starts, left by an "
                            "earlier installation or uninstall.\n\nPlease restart the computer "
                            "before installing " +
                            names.appTitle + " into " + installFolder + ".",
                        MB_OK | MB_ICONEXCLAMATION);
    run.End(InstallExitCode::kFailed);
    return false;
  }
  return true;
}

// Asks whether to make the desktop link (an existing one counts as yes) and
// keeps the answer for step 2 in the settings.
void AskDesktopShortcut(const CInstallRun& run) {
  const CInstallManifest& manifest = run.manifest;
  int desktopChoice = 0;
  if (manifest.AskDesktopShortcut && !manifest.Shortcuts.empty()) {
    for (const CSelfInstallShortcut& shortcut : manifest.Shortcuts) {
      if (shortcut.ShellFolder != "Desktop") continue;
      // Step 2 puts the link where the record goes: all users' desktop for
      // an installation for the machine.
      if (shortcut.Exists() || shortcut.Exists(run.MachineKey(run.names.appKey))) {
        desktopChoice = 1;
      } else if (!InstallJobIsSilent()) {
        desktopChoice = InstallerMessageBox(run.backdrop.GetSafeHwnd(),
                                            "Would you like to add a desktop shortcut to " + run.names.appTitle + "?",
                                            MB_YESNO | MB_ICONQUESTION) == IDYES
                            ? 1
                            : 0;
      }
      break;
    }
  }
  WriteSettingInt(kSettingsSection, kCreateDesktopShortcutEntry, desktopChoice);
}

// Copies the manifest's files into `installFolder` (with a separator),
// noting in `undo` what was added. False when the run ends (its code set).
bool CopyProgramFiles(CInstallRun& run, const std::string& installFolder, CCopyUndo& undo) {
  const CInstallNames& names = run.names;
  CreateFolderPath(installFolder, &undo.madeFolders);
  for (const std::string& folder : undo.madeFolders) {
    LogInstallStep("Create the folder " + folder + ": done");
    // For all users: only administrators and the system may change it,
    // whatever its parent lets users do.
    if (run.perUser) continue;
    const bool secured = InstallerRoutines().secureFolder(folder);
    LogInstallResult("Give " + folder + " the permissions of an installation for all users", secured);
    if (!secured) {
      ShowLastErrorMessage(run.backdrop.GetSafeHwnd(), "Error setting the permissions of the folder " + folder + ".");
      undo.Undo();
      run.End(InstallExitCode::kFailed);
      return false;
    }
  }
  for (const std::string& name : run.manifest.FilesToCopy) {
    const std::string target = installFolder + name;
    const bool existed = GetFileAttributesNamed(target.c_str()) != INVALID_FILE_ATTRIBUTES;
    // A copy made from a read-only distribution (a CD, some zip tools) would
    // be read-only too, and refuse the next install and the uninstall.
    ClearReadOnly(target);
    if (InstallerRoutines().copyFile((names.moduleFolder + name).c_str(), target.c_str(), FALSE)) {
      ClearReadOnly(target);
      RemoveZoneMark(target);
      if (!existed) undo.newFiles.push_back(target);
      LogInstallStep("Copy " + name + " to " + target + ": done");
      continue;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) {
      LogInstallStep("Copy " + name + ": not in the distribution, passed over");
      continue;
    }
    LogInstallResult("Copy " + name + " to " + target, false, error);
    SetLastError(error);
    ShowLastErrorMessage(run.backdrop.GetSafeHwnd(), "Error copying the file " + name + ".");
    if (run.switched) undo.Undo();
    run.End(InstallExitCode::kFailed);
    return false;
  }
  return true;
}

// Starts step 2 in the copy in `installFolder` (with a separator). A run
// that is waited for waits for it in turn and ends with its code; any other
// writes the version for step 2 and ends at once.
RunResult StartStepTwo(CInstallRun& run, const std::string& installFolder, const CCopyUndo& undo,
                       std::unique_ptr<CProgressBox>& progress) {
  const CInstallerRoutines& routines = InstallerRoutines();
  HWND backdrop = run.backdrop.GetSafeHwnd();
  const std::string command = QuotedCommand(installFolder + run.manifest.ExeName, run.ChildTail(kInstallStep2Switch));
  if (run.Waited()) {
    // The whole installation ends before this process does: step 2 writes
    // the complete record, so this one writes none of its own.
    DWORD code = static_cast<DWORD>(InstallExitCode::kDone);
    if (!routines.runAndWait(command.c_str(), installFolder.c_str(), &code)) {
      LogInstallResult("Start " + command, false);
      InstallerMessageBox(backdrop, "Error running the newly installed program.", MB_ICONEXCLAMATION);
      if (run.switched) undo.Undo();
      return run.End(InstallExitCode::kFailed);
    }
    LogInstallStep("Install step 2: exit code " + std::to_string(code));
    const InstallExitCode result = JobCode(code);
    if (result == InstallExitCode::kFailed && run.switched) undo.Undo();
    progress.reset();
    if (result == InstallExitCode::kDone && !InstallJobIsSilent() && !run.elevationTried)
      run.StartInstalledProgram(installFolder);
    return run.End(result);
  }
  CRecordLock lock(run.names.instanceKey);
  if (!routines.runCommandLine(command.c_str(), installFolder.c_str())) {
    InstallerMessageBox(backdrop, "Error running the newly installed program.", MB_ICONEXCLAMATION);
    return run.End(InstallExitCode::kFailed);
  }
  RecordVersionForStepTwo(run, installFolder);
  return RunResult::kEndProcess;
}

RunResult RunInstallStep1(CInstallRun& run, const CInstallRecord& record) {
  if (!CloseCopiesAndAcceptLicence(run, record)) return RunResult::kEndProcess;
  std::string installFolder;
  if (!ChooseInstallFolder(run, record, installFolder)) return RunResult::kEndProcess;
  AskDesktopShortcut(run);

  auto progress = std::make_unique<CProgressBox>("Installing the program...", run.backdrop.GetSafeHwnd());
  installFolder = WithSeparator(installFolder);

  if (SamePathText(run.names.moduleFolder, installFolder)) {
    progress.reset();
    LogInstallStep("The program runs from the install folder already: nothing to copy");
    // The program starts in this process, unless nobody is to see it or the
    // process that waits for this one starts it for its own user.
    if (RunInstallStep2(run) == RunResult::kGoOn) return RunResult::kGoOn;
    // A job: its code is step 2's, and the program, where it is to be seen,
    // starts as a process of its own, since this one's end is waited for.
    if (run.exitCode == InstallExitCode::kDone && !InstallJobIsSilent() && !run.elevationTried)
      run.StartInstalledProgram(installFolder);
    return RunResult::kEndProcess;
  }

  CCopyUndo undo;
  if (!CopyProgramFiles(run, installFolder, undo)) return RunResult::kEndProcess;
  return StartStepTwo(run, installFolder, undo, progress);
}

// Step 2's entry in the system's list of programs: machine-wide, else the
// user's own list.
void WriteUninstallEntryOf(const CInstallRun& run, const std::string& installFolder) {
  const CInstallNames& names = run.names;
  HKEY root = HKEY_LOCAL_MACHINE;
  bool made = run.MachineKey(names.uninstallKey);
  if (!made) {
    // The system's list of a user's own programs.
    root = HKEY_CURRENT_USER;
    made = EnsureRegistryKey(root, names.uninstallKey.c_str());
  }
  if (made) {
    CUninstallEntry entry;
    entry.m_strDisplayName = names.appTitle + " " + names.currentVersion;
    entry.m_strUninstallString = QuotedCommand(names.modulePath, kUninstallSwitch);
    entry.m_strQuietUninstallString = entry.m_strUninstallString + " /VERYSILENT";
    entry.m_strDisplayVersion = names.currentVersion;
    entry.m_strPublisher = names.registryKey;
    entry.m_strDisplayIcon = names.modulePath;
    entry.m_strInstallLocation = installFolder;
    SYSTEMTIME today;
    GetLocalTime(&today);
    entry.m_strInstallDate = InstallDateText(today);
    entry.m_nEstimatedSizeKB = InstalledSizeKB(installFolder, run.manifest.FilesToCopy);
    made = WriteUninstallEntry(root, names.uninstallKey, entry);
  }
  LogInstallResult(std::string("Write the uninstall entry ") + (root == HKEY_LOCAL_MACHINE ? "HKLM\\" : "HKCU\\") +
                       names.uninstallKey,
                   made, ERROR_ACCESS_DENIED);
}

}  // namespace

DWORD InstalledSizeKB(const std::string& folder, const std::vector<std::string>& names) {
  ULONGLONG total = 0;
  for (const std::string& name : names) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExNamed((folder + name).c_str(), &data)) {
      ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
      total += (size + 1023) / 1024;
    }
  }
  return total > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(total);
}

RunResult RunInstallCheck(CInstallRun& run, const std::string& tail) {
  const CInstallNames& names = run.names;
  const CInstallRecord record = ReadInstallRecord(names.selfInstallKey);
  if (record.version == names.currentVersion && record.installFolder == names.moduleFolder && tail != kInstallSwitch &&
      tail != kInstallStep2Switch) {
    return RunResult::kGoOn;
  }
  if (tail == kInstallStep2Switch) return RunInstallStep2(run);

  std::string question;
  if (!HandOverOrAsk(run, record, tail, question)) return RunResult::kEndProcess;

  const Elevation elevation = ElevateIfNeeded(run, tail, true);
  if (elevation == Elevation::kRestarted ||
      (elevation == Elevation::kDeclined && run.exitCode != InstallExitCode::kDone))
    return RunResult::kEndProcess;

  run.backdrop.ShowWithTitle(SW_SHOW, "Setup");
  if (InstallJobIsSilent()) {
    LogInstallStep(question.substr(0, question.find('\n')));
  } else if (InstallerMessageBox(run.backdrop.GetSafeHwnd(), question, MB_YESNO | MB_ICONQUESTION) == IDNO) {
    return run.End(InstallExitCode::kCancelled);
  }
  return RunInstallStep1(run, record);
}

RunResult RunInstallStep2(CInstallRun& run) {
  const CInstallNames& names = run.names;
  const CInstallManifest& manifest = run.manifest;
  // Step 2 runs in the copy in the install folder.
  const std::string& installFolder = names.moduleFolder;
  // The copy started by step 1 inherits its elevation: unelevated on a
  // system that wants elevation means a per-user installation.
  if (run.switched && run.switches.scope == InstallScope::kCurrentUser) run.perUser = true;
  if (!run.perUser && InstallerRoutines().needsElevation()) run.perUser = true;
  LogInstallStep(std::string("Record the installation in ") + installFolder +
                 (run.perUser ? " for this user" : " for all users"));

  SetRunAtStartup(manifest.RunArguments, manifest.RunAtStartup);
  SetAppPath(manifest.ExeName, manifest.AppPathPath, manifest.AppPath);
  for (const CSelfInstallRegValue& value : manifest.RegValues) {
    LogInstallResult(
        "Write the registry value " + value.SubKey + "\\" + value.ValueName,
        WriteRegistryString(value.Root, value.SubKey.c_str(), value.ValueName.c_str(), value.Value.c_str()));
  }
  // An installation for the whole machine is there for every user: its
  // links go to the folders of all users, not to those of whoever approved
  // the elevation.
  const bool allUsers = run.MachineKey(names.appKey);
  for (const CSelfInstallShortcut& shortcut : manifest.Shortcuts) shortcut.Install(installFolder, allUsers);
  WriteSettingString(kSettingsSection, kCreateDesktopShortcutEntry, nullptr);

  if (!names.modulePath.empty()) WriteUninstallEntryOf(run, installFolder);

  for (const CSelfInstallShortcut& shortcut : manifest.EarlierShortcuts) shortcut.Remove();

  bool recorded;
  {
    CRecordLock lock(names.instanceKey);
    recorded = WriteInstallRecord(run, installFolder);
  }
  // A job, or the copy an elevated installation started, ends here: whoever
  // waits for it starts the program where that is wanted.
  if (run.Waited()) return run.End(recorded ? InstallExitCode::kDone : InstallExitCode::kFailed);
  return RunResult::kGoOn;
}
