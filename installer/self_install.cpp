#include "installer/self_install.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>
#include <memory>

#include "app/module.h"
#include "app/settings.h"
#include "app/version.h"
#include "framework/handle.h"
#include "framework/win_app.h"
#include "installer/deferred.h"
#include "installer/destination_dlg.h"
#include "installer/install_job.h"
#include "installer/license_dlg.h"
#include "installer/progress_box.h"
#include "installer/registry_records.h"

namespace {

const char kUninstallSwitch[] = "/uninstall";
const char kInstallSwitch[] = "/install";
const char kInstallStep2Switch[] = "/installstep2";
// The copy of the program in the temporary folder that finishes an uninstall
// once the installed copy has ended: "/finishuninstall <process id> "<folder>"".
const char kFinishUninstallSwitch[] = "/finishuninstall";
// How long the finishing copy waits for the installed copy to end.
const DWORD kFinishWaitMs = 60000;
// How long install step 2 waits for step 1 to finish its record.
const DWORD kRecordWaitMs = 30000;

bool MachineKeyDefault(const char* subkey) { return EnsureRegistryKey(HKEY_LOCAL_MACHINE, subkey); }

CSelfInstallRoutines g_routines = DefaultSelfInstallRoutines();

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && !IsPathSeparator(folder.back())) folder += '\\';
  return folder;
}

// Held by install step 1 from before it starts the copy until its version
// record is written; install step 2 takes it before it writes its own record,
// so that step 1's clearing of the per-user record never comes after it.
class CRecordLock {
 public:
  explicit CRecordLock(const std::string& instanceKey)
      : m_hMutex(CreateMutexA(nullptr, FALSE, (instanceKey + "SelfInstallRecord").c_str())) {
    if (!m_hMutex.IsValid()) return;
    DWORD wait = WaitForSingleObject(m_hMutex, kRecordWaitMs);
    m_bOwned = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
  }
  ~CRecordLock() {
    if (m_bOwned) ReleaseMutex(m_hMutex);
  }
  CRecordLock(const CRecordLock&) = delete;
  CRecordLock& operator=(const CRecordLock&) = delete;

 private:
  CHandle m_hMutex;
  bool m_bOwned = false;
};

// Takes the read-only attribute off a file of the program's, if it has one.
void ClearReadOnly(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
      !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

}  // namespace

// The values Run computes before it chooses the mode.
struct CSelfInstall::Names {
  std::string appTitle;
  std::string registryKey;
  std::string instanceKey;
  std::string uninstallKey;
  std::string modulePath;
  std::string moduleFolder;
  std::string appKey;
  std::string selfInstallKey;
  std::string currentVersion;
  std::string recordedVersion;
  std::string recordedFolder;
  bool recordedForMachine = false;  // the record is the machine's, not this user's
};

CSelfInstallRoutines DefaultSelfInstallRoutines() {
  CSelfInstallRoutines routines;
  routines.runCommandLine = RunCommandLine;
  routines.runAndWait = RunCommandLineAndWait;
  routines.showLicenseAgreement = ShowLicenseAgreement;
  routines.chooseDestinationFolder = ChooseDestinationFolder;
  routines.closeRunningPrograms = CloseRunningPrograms;
  routines.getModulePath = GetModulePath;
  routines.needsElevation = ProcessNeedsElevation;
  routines.startElevated = StartElevated;
  routines.ensureMachineKey = MachineKeyDefault;
  return routines;
}

const CSelfInstallRoutines& SelfInstallRoutines() { return g_routines; }

CSelfInstallRoutines SetSelfInstallRoutines(const CSelfInstallRoutines& routines) {
  CSelfInstallRoutines previous = g_routines;
  g_routines = routines;
  return previous;
}

bool ProcessNeedsElevation() {
  // Only systems from Vista on run administrators unelevated.
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExA(&version) || version.dwMajorVersion < 6) return false;
  CHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return false;
  // TokenElevation (20) answers one DWORD: nonzero when elevated.
  DWORD elevated = 0;
  DWORD size = 0;
  BOOL ok = GetTokenInformation(token, static_cast<TOKEN_INFORMATION_CLASS>(20), &elevated,
                                sizeof elevated, &size);
  return ok && elevated == 0;
}

DWORD StartElevated(const std::string& program, const std::string& arguments, DWORD* exitCode) {
  SHELLEXECUTEINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | (exitCode != nullptr ? SEE_MASK_NOCLOSEPROCESS : 0);
  info.lpVerb = "runas";
  info.lpFile = program.c_str();
  info.lpParameters = arguments.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (ShellExecuteExA(&info)) {
    if (exitCode != nullptr) {
      CHandle process(info.hProcess);
      // Without a handle (the system handed the start to a running program)
      // there is nothing to wait for, and nothing to tell of its outcome.
      *exitCode = process.IsValid() ? WaitForProcessPumping(process) : CSelfInstall::kFailed;
    }
    return 0;
  }
  DWORD error = GetLastError();
  return error != 0 ? error : ERROR_GEN_FAILURE;
}

std::string QuotedCommand(const std::string& program, const std::string& arguments) {
  return "\"" + program + "\" " + arguments;
}

std::string PerUserInstallFolder(const std::string& appTitle) {
  char folder[MAX_PATH];
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, folder))) {
    return std::string();
  }
  return WithSeparator(folder) + "Programs\\" + appTitle;
}

DWORD InstalledSizeKB(const std::string& folder, const std::vector<std::string>& names) {
  ULONGLONG total = 0;
  for (const std::string& name : names) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA((folder + name).c_str(), GetFileExInfoStandard, &data)) {
      ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
      total += (size + 1023) / 1024;
    }
  }
  return total > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(total);
}

void CreateFolderPath(const std::string& path, std::vector<std::string>* made) {
  SECURITY_ATTRIBUTES attributes = {};
  attributes.nLength = sizeof attributes;
  attributes.lpSecurityDescriptor = nullptr;
  attributes.bInheritHandle = FALSE;
  bool drive = path.size() >= 2 && path[1] == ':';
  for (size_t i = 1; i < path.size(); ++i) {
    if (!IsPathSeparator(path[i])) continue;
    if (drive && (i == 1 || i == 2)) continue;
    std::string prefix = path.substr(0, i);
    if (!IsMissingFolder(prefix)) continue;
    if (!CreateDirectoryA(prefix.c_str(), &attributes)) return;
    if (made != nullptr) made->push_back(prefix);
  }
  if (CreateDirectoryA(path.c_str(), &attributes) && made != nullptr) made->push_back(path);
}

CSelfInstall::CSelfInstall() = default;

CSelfInstall::~CSelfInstall() = default;

void CSelfInstall::OnInstalled(const std::string&) {}

bool CSelfInstall::MachineKey(const std::string& subkey) const {
  // A per-user installation keeps every record under HKEY_CURRENT_USER.
  if (m_bPerUser) return false;
  return g_routines.ensureMachineKey(subkey.c_str());
}

std::string StripElevatedMark(const std::string& tail, bool& marked) {
  const std::string mark = kElevatedMark;
  marked = tail == mark || tail.compare(0, mark.size() + 1, mark + " ") == 0;
  if (!marked) return tail;
  return tail.size() > mark.size() ? tail.substr(mark.size() + 1) : std::string();
}

namespace {

// The job's switches as this process has to pass them on: the folder and
// the log as full paths, since the copies it starts run in other folders.
CInstallSwitches WithFullPaths(CInstallSwitches switches) {
  for (std::string* path : {&switches.dir, &switches.log}) {
    if (path->empty()) continue;
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(path->c_str(), MAX_PATH, full, nullptr);
    if (length > 0 && length < MAX_PATH) *path = std::string(full, length);
  }
  return switches;
}

// Ends the job's settings with the run, so that nothing after it (another
// run in the same process) is silent or logged by mistake.
class CInstallJobScope {
 public:
  explicit CInstallJobScope(const CInstallSwitches& switches) { SetInstallJob(switches); }
  ~CInstallJobScope() { SetInstallJob(CInstallSwitches()); }
  CInstallJobScope(const CInstallJobScope&) = delete;
  CInstallJobScope& operator=(const CInstallJobScope&) = delete;
};

const char* ExitCodeText(int code) {
  switch (code) {
    case CSelfInstall::kDone: return "done";
    case CSelfInstall::kRestartNeeded: return "done; a restart of Windows finishes it";
    case CSelfInstall::kCancelled: return "cancelled";
    default: return "failed";
  }
}

}  // namespace

int CSelfInstall::JobCode(DWORD processExitCode) {
  // A copy that ended any other way (a crash, -1 from the start-up) failed.
  switch (processExitCode) {
    case kDone:
    case kRestartNeeded:
    case kCancelled:
      return static_cast<int>(processExitCode);
    default:
      return kFailed;
  }
}

int CSelfInstall::ExitCode() const { return Waited() ? m_nExitCode : kDone; }

int CSelfInstall::End(int code) {
  m_nExitCode = code;
  return 1;
}

std::string CSelfInstall::ChildTail(const std::string& mode) const {
  std::string tail = m_bElevationTried ? std::string(kElevatedMark) + " " + mode : mode;
  if (!m_bSwitched) return tail;
  CInstallSwitches switches = m_Switches;
  // The copy decides nothing again that this one has decided.
  if (m_bPerUser) switches.scope = InstallScope::kCurrentUser;
  return tail + FormatInstallSwitches(switches);
}

int CSelfInstall::Run(const std::string& markedTail) {
  // The copy that elevation restarted carries a mark before the tail it was
  // given; the modes are chosen by that tail alone.
  std::string tail = StripElevatedMark(markedTail, m_bElevationTried);
  // A mode followed by switches alone is a job for an administrator's
  // tools; anything else is the tail as it always was.
  for (const char* mode : {kInstallSwitch, kInstallStep2Switch, kUninstallSwitch}) {
    CInstallSwitches switches;
    if (ParseModeWithSwitches(tail, mode, switches) && switches.any) {
      m_bSwitched = true;
      m_Switches = WithFullPaths(switches);
      tail = mode;
      break;
    }
  }
  CInstallJobScope job(m_bSwitched ? m_Switches : CInstallSwitches());

  Names names;
  names.appTitle = AfxGetAppTitle();
  names.registryKey = GetProfileRegistryKey();
  names.instanceKey = GetInstanceKey();
  names.uninstallKey = GetUninstallKey();
  names.modulePath = g_routines.getModulePath();
  names.moduleFolder = FolderOfPath(names.modulePath);
  names.appKey = GetApplicationKey();
  names.selfInstallKey = GetSelfInstallKey();
  if (tail != kInstallStep2Switch)
    LogInstallStep(names.appTitle + " " + GetVersionText() + " (" + names.modulePath + "): " + tail +
                   FormatInstallSwitches(m_Switches));

  int result = 0;
  if (tail == kUninstallSwitch) {
    result = RunUninstall(names);
  } else if (tail.compare(0, sizeof kFinishUninstallSwitch,
                          std::string(kFinishUninstallSwitch) + " ") == 0) {
    return FinishUninstall(names, tail.substr(sizeof kFinishUninstallSwitch));
  } else {
    names.currentVersion = GetVersionText();
    names.recordedVersion =
        GetRegistryString(HKEY_LOCAL_MACHINE, names.selfInstallKey.c_str(), kVersionEntry, "");
    names.recordedFolder =
        GetRegistryString(HKEY_LOCAL_MACHINE, names.selfInstallKey.c_str(), kDirectoryEntry, "");
    names.recordedForMachine = !names.recordedVersion.empty();
    if (names.recordedVersion.empty()) {
      names.recordedVersion = GetSettingString(kSelfInstallSection, kVersionEntry, "");
      names.recordedFolder = GetSettingString(kSelfInstallSection, kDirectoryEntry, "");
    }
    // A record without a folder names no installed copy: handing over to it
    // would start this program again and again.
    if (names.recordedFolder.empty()) names.recordedVersion.clear();
    result = RunInstallCheck(names, tail);
  }
  if (m_bSwitched && tail != kInstallStep2Switch)
    LogInstallStep("Exit code " + std::to_string(m_nExitCode) + ": " + ExitCodeText(m_nExitCode));
  return result;
}

CSelfInstall::Elevation CSelfInstall::ElevateIfNeeded(const std::string& mode, bool install) {
  if (m_bSwitched && install && m_Switches.scope == InstallScope::kCurrentUser) {
    m_bPerUser = true;
    LogInstallStep("Install for this user only");
    return Elevation::NotNeeded;
  }
  if (!g_routines.needsElevation()) return Elevation::NotNeeded;
  // A silent job that names no scope is for this user when it has no
  // administrator's rights: nobody is there to answer the system's prompt.
  const bool mustElevate =
      m_bSwitched && (!install || m_Switches.scope == InstallScope::kAllUsers);
  if (m_bSwitched && install && !mustElevate && InstallJobIsSilent()) {
    m_bPerUser = true;
    LogInstallStep("Install for this user only (not elevated)");
    return Elevation::NotNeeded;
  }
  std::string program = g_routines.getModulePath();
  DWORD error = ERROR_ACCESS_DENIED;  // no elevated copy could be started
  // A copy that elevation started and that is still not elevated (UAC
  // turned off for a standard user) must not start the next one: it goes
  // on unelevated, as after a declined prompt.
  if (!m_bElevationTried && !program.empty()) {
    const std::string given = mode + (m_bSwitched ? FormatInstallSwitches(m_Switches) : std::string());
    const std::string tail =
        given.empty() ? std::string(kElevatedMark) : std::string(kElevatedMark) + " " + given;
    // The elevated copy is waited for when its end means something here: a
    // job's exit code, or an installation whose program this process then
    // starts for its own user.
    const bool wait = m_bSwitched || install;
    DWORD code = kDone;
    error = g_routines.startElevated(program, tail, wait ? &code : nullptr);
    if (error == 0) {
      LogInstallStep("Elevated copy started");
      m_nExitCode = JobCode(code);
      // The elevated copy installed for all users; the program's first
      // start is this user's, unelevated, as an ordinary start.
      if (install && m_nExitCode == kDone && !InstallJobIsSilent()) {
        std::string folder =
            GetRegistryString(HKEY_LOCAL_MACHINE, GetSelfInstallKey().c_str(), kDirectoryEntry, "");
        if (folder.empty()) folder = GetSettingString(kSelfInstallSection, kDirectoryEntry, "");
        StartInstalledProgram(folder);
      }
      return Elevation::Restarted;
    }
  }
  if (mustElevate) {
    // The job cannot go on without the rights it was asked to use.
    LogInstallResult("Elevation", false, error);
    End(error == ERROR_CANCELLED ? kCancelled : kFailed);
    return Elevation::Declined;
  }
  // Declined (ERROR_CANCELLED) or not possible: go on for this user only.
  m_bPerUser = true;
  LogInstallStep("Install for this user only (elevation declined or not possible)");
  return Elevation::Declined;
}

void CSelfInstall::StartInstalledProgram(const std::string& folder) {
  if (folder.empty()) return;
  const std::string command = "\"" + WithSeparator(folder) + m_ExeName + "\"";
  LogInstallResult("Start " + command, g_routines.runCommandLine(command.c_str(), folder.c_str()));
}

int CSelfInstall::RunInstallCheck(const Names& names, const std::string& tail) {
  bool sameVersion = names.recordedVersion == names.currentVersion;
  if (sameVersion && names.recordedFolder == names.moduleFolder && tail != kInstallSwitch &&
      tail != kInstallStep2Switch) {
    return 0;
  }
  if (tail == kInstallStep2Switch) return RunInstallStep2(names);

  std::string question = "You are about to ";
  if (!sameVersion) {
    question += names.recordedFolder.empty() ? "install a new copy" : "install a different version";
  } else if (tail == kInstallSwitch) {
    question += "re-install the same version";
  } else {
    std::string command = QuotedCommand(names.recordedFolder + m_ExeName, tail);
    if (g_routines.runCommandLine(command.c_str(), nullptr)) return 1;
    question += "re-install the same version";
  }
  question += " of " + names.appTitle + ".\n\nIt is recommended to close all " + names.appTitle +
              " windows before continuing.\n\nDo you want to continue?";

  const Elevation elevation = ElevateIfNeeded(tail, true);
  if (elevation == Elevation::Restarted || (elevation == Elevation::Declined && m_nExitCode != kDone))
    return 1;

  m_Window.ShowWithTitle(SW_SHOW, "Setup");
  if (InstallJobIsSilent()) {
    LogInstallStep(question.substr(0, question.find('\n')));
  } else if (InstallerMessageBox(m_Window.GetSafeHwnd(), question, MB_YESNO | MB_ICONQUESTION) ==
             IDNO) {
    return End(kCancelled);
  }
  return RunInstallStep1(names, m_bPerUser);
}

void CSelfInstall::UndoCopy(const std::vector<std::string>& files,
                            const std::vector<std::string>& folders) {
  for (const std::string& file : files) LogInstallResult("Remove " + file, DeleteFileA(file.c_str()) != FALSE);
  for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder)
    LogInstallResult("Remove the folder " + *folder, RemoveDirectoryA(folder->c_str()) != FALSE);
}

int CSelfInstall::RunInstallStep1(const Names& names, bool perUser) {
  HWND backdrop = m_Window.GetSafeHwnd();
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
    return End(kFailed);
  }
  if (g_routines.closeRunningPrograms(backdrop, m_CloseWindowClass, m_CloseWindowTitle,
                                      names.appTitle, m_ProgramsToClose) == 1) {
    // A silent job asks nobody: a copy that did not close fails it.
    LogInstallStep("Close running copies: failed (a running copy did not close)");
    return End(silent ? kFailed : kCancelled);
  }
  LogInstallStep("Close running copies: done");
  if (silent) {
    LogInstallStep("Licence agreement: accepted by whoever runs the silent installation");
  } else if (g_routines.showLicenseAgreement(backdrop, names.moduleFolder)) {
    return End(kCancelled);
  }

  std::string installFolder = m_bSwitched && !m_Switches.dir.empty() ? m_Switches.dir
                                                                     : names.recordedFolder;
  // A job for this user never goes into the folder of an installation for
  // all users (which it may not write, or would take over).
  if (m_bSwitched && perUser && m_Switches.dir.empty() && names.recordedForMachine)
    installFolder = GetSettingString(kSelfInstallSection, kDirectoryEntry, "");
  if (installFolder.empty() && perUser) installFolder = PerUserInstallFolder(names.appTitle);
  if (silent) {
    // The destination dialog's checks, with the answers that go on: the
    // folder is made when it is missing; a drive root is refused.
    installFolder = ProposedInstallFolder(installFolder, names.moduleFolder, names.appTitle);
    std::string shown;
    if (CheckInstallFolder(installFolder, shown) == InstallFolderCheck::kRootRefused ||
        (!m_Switches.dir.empty() && IsRootFolder(m_Switches.dir))) {
      LogInstallStep("Install folder " + installFolder + ": refused (the root of a drive)");
      return End(kFailed);
    }
  } else if (g_routines.chooseDestinationFolder(backdrop, installFolder, names.moduleFolder,
                                                names.appTitle, m_FilesToCopy)) {
    return End(kCancelled);
  }
  LogInstallStep("Install folder " + installFolder);

  // Files that the next start of Windows deletes must not be replaced by
  // the new ones first.
  std::string pending = FindPendingDeletionIn(installFolder);
  if (!pending.empty()) {
    InstallerMessageBox(backdrop,
                        "The file " + pending +
                            " is to be deleted or replaced when Windows next starts, left by an "
                            "earlier installation or uninstall.\n\nPlease restart the computer "
                            "before installing " +
                            names.appTitle + " into " + installFolder + ".",
                        MB_OK | MB_ICONEXCLAMATION);
    return End(kFailed);
  }

  int desktopChoice = 0;
  if (m_bAskDesktopShortcut && !m_Shortcuts.empty()) {
    for (const CSelfInstallShortcut& shortcut : m_Shortcuts) {
      if (shortcut.ShellFolder != "Desktop") continue;
      // Step 2 puts the link where the record goes: all users' desktop for
      // an installation for the machine.
      if (shortcut.Exists() || shortcut.Exists(MachineKey(names.appKey))) {
        desktopChoice = 1;
      } else if (!silent) {
        desktopChoice = InstallerMessageBox(backdrop,
                                            "Would you like to add a desktop shortcut to " +
                                                names.appTitle + "?",
                                            MB_YESNO | MB_ICONQUESTION) == IDYES
                            ? 1
                            : 0;
      }
      break;
    }
  }
  WriteSettingInt(kSettingsSection, kCreateDesktopShortcutEntry, desktopChoice);

  auto progress = std::make_unique<CProgressBox>("Installing the program...", backdrop);
  installFolder = WithSeparator(installFolder);

  if (lstrcmpiA(names.moduleFolder.c_str(), installFolder.c_str()) == 0) {
    progress.reset();
    LogInstallStep("The program runs from the install folder already: nothing to copy");
    // The program starts in this process, unless nobody is to see it or the
    // process that waits for this one starts it for its own user.
    if (RunInstallStep2(names) == 0) return 0;
    // A job: its code is step 2's, and the program, where it is to be seen,
    // starts as a process of its own, since this one's end is waited for.
    if (m_nExitCode == kDone && !silent && !m_bElevationTried) StartInstalledProgram(installFolder);
    return 1;
  }

  // What a failed job takes back: the folders it made and the files that
  // were not there before it. (A file it replaced stays replaced.)
  std::vector<std::string> madeFolders;
  std::vector<std::string> newFiles;
  CreateFolderPath(installFolder, &madeFolders);
  for (const std::string& folder : madeFolders) LogInstallStep("Create the folder " + folder + ": done");
  for (const std::string& name : m_FilesToCopy) {
    const std::string target = installFolder + name;
    const bool existed = GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES;
    // A copy made from a read-only distribution (a CD, some zip tools) would
    // be read-only too, and refuse the next install and the uninstall.
    ClearReadOnly(target);
    if (CopyFileA((names.moduleFolder + name).c_str(), target.c_str(), FALSE)) {
      ClearReadOnly(target);
      if (!existed) newFiles.push_back(target);
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
    ShowLastErrorMessage(backdrop, "Error copying the file " + name + ".");
    if (m_bSwitched) UndoCopy(newFiles, madeFolders);
    return End(kFailed);
  }

  const std::string command =
      QuotedCommand(installFolder + m_ExeName, ChildTail(kInstallStep2Switch));
  if (Waited()) {
    // The whole installation ends before this process does: step 2 writes
    // the complete record, so this one writes none of its own.
    DWORD code = kDone;
    if (!g_routines.runAndWait(command.c_str(), installFolder.c_str(), &code)) {
      LogInstallResult("Start " + command, false);
      InstallerMessageBox(backdrop, "Error running the newly installed program.",
                          MB_ICONEXCLAMATION);
      if (m_bSwitched) UndoCopy(newFiles, madeFolders);
      return End(kFailed);
    }
    LogInstallStep("Install step 2: exit code " + std::to_string(code));
    const int result = JobCode(code);
    if (result == kFailed && m_bSwitched) UndoCopy(newFiles, madeFolders);
    progress.reset();
    if (result == kDone && !silent && !m_bElevationTried) StartInstalledProgram(installFolder);
    return End(result);
  }
  {
    CRecordLock lock(names.instanceKey);
    if (!g_routines.runCommandLine(command.c_str(), installFolder.c_str())) {
      InstallerMessageBox(backdrop, "Error running the newly installed program.",
                          MB_ICONEXCLAMATION);
      return End(kFailed);
    }
    DeleteRegKeyTree(HKEY_CURRENT_USER, names.selfInstallKey);
    if (MachineKey(names.appKey)) {
      WriteRegistryString(HKEY_LOCAL_MACHINE, names.selfInstallKey.c_str(), kVersionEntry,
                          names.currentVersion.c_str());
    } else {
      WriteSettingString(kSelfInstallSection, kVersionEntry, names.currentVersion.c_str());
    }
  }
  return 1;
}

int CSelfInstall::RunInstallStep2(const Names& names) {
  // The copy started by step 1 inherits its elevation: unelevated on a
  // system that wants elevation means a per-user installation.
  if (m_bSwitched && m_Switches.scope == InstallScope::kCurrentUser) m_bPerUser = true;
  if (!m_bPerUser && g_routines.needsElevation()) m_bPerUser = true;
  LogInstallStep(std::string("Record the installation in ") + names.moduleFolder +
                 (m_bPerUser ? " for this user" : " for all users"));

  SetRunAtStartup(m_RunArguments, m_bRunAtStartup);
  SetAppPath(m_ExeName, m_AppPathPath, m_bAppPath);
  for (const CSelfInstallRegValue& value : m_RegValues) {
    LogInstallResult("Write the registry value " + value.SubKey + "\\" + value.ValueName,
                     WriteRegistryString(value.Root, value.SubKey.c_str(), value.ValueName.c_str(),
                                         value.Value.c_str()));
  }
  // An installation for the whole machine is there for every user: its
  // links go to the folders of all users, not to those of whoever approved
  // the elevation.
  const bool allUsers = MachineKey(names.appKey);
  for (const CSelfInstallShortcut& shortcut : m_Shortcuts)
    shortcut.Install(names.moduleFolder, allUsers);
  WriteSettingString(kSettingsSection, kCreateDesktopShortcutEntry, nullptr);

  if (!names.modulePath.empty()) {
    HKEY root = HKEY_LOCAL_MACHINE;
    bool made = MachineKey(names.uninstallKey);
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
      entry.m_strInstallLocation = names.moduleFolder;
      SYSTEMTIME today;
      GetLocalTime(&today);
      entry.m_strInstallDate = InstallDateText(today);
      entry.m_nEstimatedSizeKB = InstalledSizeKB(names.moduleFolder, m_FilesToCopy);
      made = WriteUninstallEntry(root, names.uninstallKey, entry);
    }
    LogInstallResult(std::string("Write the uninstall entry ") +
                         (root == HKEY_LOCAL_MACHINE ? "HKLM\\" : "HKCU\\") + names.uninstallKey,
                     made, ERROR_ACCESS_DENIED);
  }

  OnInstalled(names.moduleFolder);

  CRecordLock lock(names.instanceKey);
  DeleteRegKeyTree(HKEY_CURRENT_USER, names.selfInstallKey);
  bool recorded;
  if (MachineKey(names.selfInstallKey)) {
    const char* key = names.selfInstallKey.c_str();
    recorded = WriteRegistryString(HKEY_LOCAL_MACHINE, key, kDirectoryEntry, names.moduleFolder.c_str()) &&
               WriteRegistryString(HKEY_LOCAL_MACHINE, key, kVersionEntry, names.currentVersion.c_str());
    LogInstallResult("Write the installation record HKLM\\" + names.selfInstallKey, recorded,
                     ERROR_ACCESS_DENIED);
  } else {
    recorded = WriteSettingString(kSelfInstallSection, kDirectoryEntry, names.moduleFolder.c_str()) &&
               WriteSettingString(kSelfInstallSection, kVersionEntry, names.currentVersion.c_str());
    LogInstallResult("Write the installation record HKCU\\" + names.selfInstallKey, recorded,
                     ERROR_ACCESS_DENIED);
  }
  // A job, or the copy an elevated installation started, ends here: whoever
  // waits for it starts the program where that is wanted.
  if (Waited()) return End(recorded ? kDone : kFailed);
  return 0;
}

int CSelfInstall::RunUninstall(const Names& names) {
  HWND backdrop = m_Window.GetSafeHwnd();
  const bool silent = InstallJobIsSilent();
  // Removing a machine-wide installation needs an elevated process. Without
  // one the machine-wide entries and the program's files would stay while
  // the rest went, so nothing is removed and the user is told why.
  if (RegistryKeyExists(HKEY_LOCAL_MACHINE, names.uninstallKey.c_str()) ||
      RegistryKeyExists(HKEY_LOCAL_MACHINE, names.selfInstallKey.c_str())) {
    const Elevation elevation = ElevateIfNeeded(kUninstallSwitch, false);
    if (elevation == Elevation::Restarted) return 1;
    if (elevation == Elevation::Declined) {
      m_Window.ShowWithTitle(SW_SHOW, "Uninstall");
      InstallerMessageBox(backdrop,
                          names.appTitle + " was installed for all users of this computer. "
                          "Uninstalling it needs administrator rights.\n\nNothing has been removed.",
                          MB_OK | MB_ICONEXCLAMATION);
      return End(m_nExitCode != kDone ? m_nExitCode : kCancelled);
    }
  }

  m_Window.ShowWithTitle(SW_SHOW, "Uninstall");
  // Nobody confirms a job's uninstall: it removes only the installed copy,
  // never the files of whatever folder the program was started from.
  if (m_bSwitched) {
    std::string recorded =
        GetRegistryString(HKEY_LOCAL_MACHINE, names.selfInstallKey.c_str(), kDirectoryEntry, "");
    if (recorded.empty()) recorded = GetSettingString(kSelfInstallSection, kDirectoryEntry, "");
    if (recorded.empty() || lstrcmpiA(WithSeparator(recorded).c_str(), names.moduleFolder.c_str()) != 0) {
      InstallerMessageBox(backdrop,
                          names.appTitle + " is not installed in " + names.moduleFolder +
                              (recorded.empty() ? std::string(".") : ", but in " + recorded + ".") +
                              "\n\nNothing has been removed.",
                          MB_OK | MB_ICONEXCLAMATION);
      return End(kFailed);
    }
  }
  // Only Yes removes anything: a box closed from outside, or one that could
  // not be shown, is no consent.
  if (!silent &&
      InstallerMessageBox(backdrop, "Are you sure you want to uninstall " + names.appTitle + "?",
                          MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return End(kCancelled);
  }
  if (g_routines.closeRunningPrograms(backdrop, m_CloseWindowClass, m_CloseWindowTitle,
                                      names.appTitle, m_ProgramsToClose) == 1) {
    LogInstallStep("Close running copies: failed (a running copy did not close)");
    return End(silent ? kFailed : kCancelled);
  }
  LogInstallStep("Close running copies: done");

  auto progress =
      std::make_unique<CProgressBox>("Uninstalling the program...", backdrop);
  // Wherever an earlier version put them: the user's folders or all users'.
  for (const CSelfInstallShortcut& shortcut : m_Shortcuts) {
    shortcut.Remove();
    shortcut.Remove(true);
  }

  DeleteRegKeyTree(HKEY_CURRENT_USER, names.appKey);
  DeleteRegKeyTree(HKEY_LOCAL_MACHINE, names.appKey);
  DeleteRegKeyTree(HKEY_LOCAL_MACHINE, names.uninstallKey);
  DeleteRegKeyTree(HKEY_CURRENT_USER, names.uninstallKey);
  for (const char* root : {"HKCU\\", "HKLM\\"}) {
    LogInstallStep("Remove " + std::string(root) + names.appKey + ": done");
    LogInstallStep("Remove " + std::string(root) + names.uninstallKey + ": done");
  }
  if (m_bRunAtStartup) SetRunAtStartup("", 0);
  if (m_bAppPath) SetAppPath(m_ExeName, "", 0);
  for (const CSelfInstallRegValue& value : m_RegValues) {
    DeleteRegistryValue(value.Root, value.SubKey.c_str(), value.ValueName.c_str());
  }
  for (const CSelfInstallRegKey& key : m_RegKeys) DeleteRegKeyTree(key.Root, key.SubKey);
  DeleteRegKeyIfNoSubkeys(HKEY_CURRENT_USER, GetRegistryKeyPath());
  DeleteRegKeyIfNoSubkeys(HKEY_LOCAL_MACHINE, GetRegistryKeyPath());

  // The framework writes no profile settings at exit once the shell command
  // says the application is being unregistered.
  CWinApp* app = AfxGetApp();
  if (app != nullptr && app->m_pCmdInfo == nullptr) {
    app->m_pCmdInfo = std::make_unique<CCommandLineInfo>();
    app->m_pCmdInfo->m_nShellCommand = CCommandLineInfo::AppUnregister;
  }

  bool deferred = false;
  std::vector<std::string> left;  // neither deleted nor put off to the next start
  std::vector<std::string> files = m_FilesToCopy;
  files.insert(files.end(), m_FilesToDelete.begin(), m_FilesToDelete.end());
  // Without the program's own folder the bare names would be taken in the
  // current folder, whose files of those names are not the program's.
  if (names.moduleFolder.empty()) files.clear();
  for (const std::string& name : files) {
    const std::string path = names.moduleFolder + name;
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    // A read-only file (from an earlier version) would be refused and put
    // off to the next start although nothing uses it.
    ClearReadOnly(path);
    if (DeleteFileOrDefer(path) == 1) {
      deferred = true;
      LogInstallStep("Delete " + path + ": in use, deleted when Windows next starts");
    } else if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
      left.push_back(path);
      LogInstallStep("Delete " + path + ": failed (neither deleted nor put off to the next start)");
    } else {
      LogInstallStep("Delete " + path + ": done");
    }
  }
  // Without the right to put deletions off to the next start (a standard
  // user's own installation), a copy outside the folder finishes once this
  // program has ended; where even that cannot start, the user is told.
  bool finishing = false;
  if (!left.empty()) {
    finishing = StartUninstallFinisher(names);
    LogInstallResult("Start the copy that deletes the rest once this one has ended", finishing);
    if (!finishing) {
      std::string list;
      for (const std::string& path : left) list += path + "\n";
      InstallerMessageBox(backdrop,
                          "These files of " + names.appTitle + " could not be removed:\n\n" +
                              list + "\nPlease delete them, and the folder " +
                              names.moduleFolder + ", once " + names.appTitle + " has ended.",
                          MB_OK | MB_ICONEXCLAMATION);
    }
  }
  // The folder goes too once nothing is left in it: now, or after the
  // deferred deletions at the next start (it stays if anything else is in it).
  // (Never a drive root: "C:" alone would name the current folder.)
  if (names.moduleFolder.size() > 3 && !finishing) {
    std::string folder = names.moduleFolder.substr(0, names.moduleFolder.size() - 1);
    if (RemoveDirectoryA(folder.c_str())) {
      LogInstallStep("Remove the folder " + folder + ": done");
    } else if (deferred) {
      LogInstallResult("Remove the folder " + folder + " when Windows next starts",
                       MoveFileAtRestart(folder.c_str(), nullptr) != FALSE);
    }
  }

  progress->DestroyWindow();
  // A silent job, or one told not to, never restarts Windows: its exit code
  // says that a restart finishes it.
  if (deferred && !silent && !(m_bSwitched && m_Switches.noRestart) &&
      InstallerMessageBox(backdrop,
                          "Some of the files could not be deleted because they are in use. "
                          "Please reboot the computer to finish uninstalling " +
                              names.appTitle + ".\n\nDo you want to reboot the computer now?",
                          MB_YESNO | MB_ICONQUESTION) == IDYES) {
    m_Window.DestroyWindow();
    LogInstallStep("Restart Windows");
    ExitWindowsWithPrivilege(EWX_REBOOT);
  }
  progress.reset();
  if (!left.empty() && !finishing) return End(kFailed);
  return End(deferred ? kRestartNeeded : kDone);
}

bool CSelfInstall::StartUninstallFinisher(const Names& names) {
  char temp[MAX_PATH];
  const DWORD length = GetTempPathA(MAX_PATH, temp);
  if (length == 0 || length >= MAX_PATH || names.modulePath.empty()) return false;
  const std::string tempFolder(temp, length);
  const std::string copy = WithSeparator(tempFolder) + names.instanceKey + "Uninstall-" +
                           std::to_string(GetCurrentProcessId()) + ".exe";
  if (!CopyFileA(names.modulePath.c_str(), copy.c_str(), FALSE)) return false;
  ClearReadOnly(copy);
  std::string folder = names.moduleFolder;
  while (!folder.empty() && IsPathSeparator(folder.back())) folder.pop_back();
  const std::string command =
      QuotedCommand(copy, std::string(kFinishUninstallSwitch) + " " +
                              std::to_string(GetCurrentProcessId()) + " \"" + folder + "\"");
  if (g_routines.runCommandLine(command.c_str(), tempFolder.c_str())) return true;
  DeleteFileA(copy.c_str());
  return false;
}

int CSelfInstall::FinishUninstall(const Names& names, const std::string& arguments) {
  // Only the copy the uninstall made does this: a copy in the temporary
  // folder. Started anywhere else, the switch is no request of ours.
  char temp[MAX_PATH];
  const DWORD length = GetTempPathA(MAX_PATH, temp);
  if (length == 0 || length >= MAX_PATH ||
      lstrcmpiA(WithSeparator(std::string(temp, length)).c_str(), names.moduleFolder.c_str()) != 0)
    return 1;
  // "<process id> "<folder>"": anything else is no request of ours either.
  const size_t quote = arguments.find('"');
  if (quote == std::string::npos || arguments.size() < quote + 2 || arguments.back() != '"') return 1;
  const DWORD processId = static_cast<DWORD>(std::strtoul(arguments.c_str(), nullptr, 10));
  const std::string folder = arguments.substr(quote + 1, arguments.size() - quote - 2);
  if (folder.empty() || IsRootFolder(folder) || IsMissingFolder(folder)) return 1;
  {
    CHandle installed(OpenProcess(SYNCHRONIZE, FALSE, processId));
    if (installed.IsValid()) WaitForSingleObject(installed, kFinishWaitMs);
  }
  std::vector<std::string> files = m_FilesToCopy;
  files.insert(files.end(), m_FilesToDelete.begin(), m_FilesToDelete.end());
  for (const std::string& name : files) {
    const std::string path = WithSeparator(folder) + name;
    ClearReadOnly(path);
    // The system may hold an ended program's file for a moment.
    for (int attempt = 0; attempt < 20 && !DeleteFileA(path.c_str()) &&
                          GetLastError() != ERROR_FILE_NOT_FOUND;
         ++attempt)
      Sleep(100);
  }
  RemoveDirectoryA(folder.c_str());  // only when nothing else is in it
  return 1;
}
