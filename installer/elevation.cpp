#include "installer/elevation.h"

#include <shellapi.h>

#include <cstring>

#include "app_base/module.h"
#include "framework/handle.h"
#include "framework/wide.h"
#include "installer/install_job.h"
#include "installer/install_record.h"
#include "installer/install_run.h"
#include "installer/installer_routines.h"

std::string StripElevatedMark(const std::string& tail, bool& marked) {
  const std::string mark = kElevatedMark;
  marked = tail == mark || tail.compare(0, mark.size() + 1, mark + " ") == 0;
  if (!marked) return tail;
  return tail.size() > mark.size() ? tail.substr(mark.size() + 1) : std::string();
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
  BOOL ok = GetTokenInformation(token, static_cast<TOKEN_INFORMATION_CLASS>(20), &elevated, sizeof elevated, &size);
  return ok && elevated == 0;
}

bool ProcessRunsAsLocalSystem() {
  CHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return false;
  DWORD user[64];  // TOKEN_USER and its SID, DWORD-aligned
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenUser, user, sizeof user, &size)) return false;
  // S-1-5-18: revision 1, one sub-authority, the NT authority (5), 18.
  static const BYTE kLocalSystem[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
  const BYTE* sid = static_cast<const BYTE*>(reinterpret_cast<TOKEN_USER*>(user)->User.Sid);
  return sid != nullptr && std::memcmp(sid, kLocalSystem, sizeof kLocalSystem) == 0;
}

DWORD StartElevated(const std::string& program, const std::string& arguments, DWORD* exitCode) {
  // Elevation exists on the NT family only: the wide call, names whole.
  const std::wstring file = TextToWide(program);
  const std::wstring parameters = TextToWide(arguments);
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | (exitCode != nullptr ? SEE_MASK_NOCLOSEPROCESS : 0);
  info.lpVerb = L"runas";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (ShellExecuteExW(&info)) {
    if (exitCode != nullptr) {
      CHandle process(info.hProcess);
      // Without a handle (the system handed the start to a running program)
      // there is nothing to wait for, and nothing to tell of its outcome.
      *exitCode = process.IsValid() ? WaitForProcessPumping(process) : static_cast<DWORD>(InstallExitCode::kFailed);
    }
    return 0;
  }
  DWORD error = GetLastError();
  return error != 0 ? error : ERROR_GEN_FAILURE;
}

Elevation ElevateIfNeeded(CInstallRun& run, const std::string& mode, bool install) {
  const CInstallerRoutines& routines = InstallerRoutines();
  if (run.switched && install && run.switches.scope == InstallScope::kCurrentUser) {
    // The system account's profile is nobody's: no user would see the
    // installation, its links or its uninstall entry.
    if (routines.runsAsLocalSystem()) {
      InstallerMessageBox(run.backdrop.GetSafeHwnd(),
                          run.names.appTitle +
                              " cannot be installed for the current user by the system account (LocalSystem): "
                              "no user would find it.\n\nInstall it for all users instead.",
                          MB_OK | MB_ICONEXCLAMATION);
      run.End(InstallExitCode::kFailed);
      return Elevation::kDeclined;
    }
    run.perUser = true;
    LogInstallStep("Install for this user only");
    return Elevation::kNotNeeded;
  }
  if (!routines.needsElevation()) return Elevation::kNotNeeded;
  // A silent job that names no scope is for this user when it has no
  // administrator's rights: nobody is there to answer the system's prompt.
  const bool mustElevate = run.switched && (!install || run.switches.scope == InstallScope::kAllUsers);
  if (run.switched && install && !mustElevate && InstallJobIsSilent()) {
    run.perUser = true;
    LogInstallStep("Install for this user only (not elevated)");
    return Elevation::kNotNeeded;
  }
  std::string program = routines.getModulePath();
  DWORD error = ERROR_ACCESS_DENIED;  // no elevated copy could be started
  // A copy that elevation started and that is still not elevated (UAC
  // turned off for a standard user) must not start the next one: it goes
  // on unelevated, as after a declined prompt.
  if (!run.elevationTried && !program.empty()) {
    // A mapped drive belongs to the logon that mapped it, which is not the
    // elevated copy's: its folders go on as UNC paths.
    CInstallSwitches elevatedSwitches = run.switches;
    for (std::string* path : {&elevatedSwitches.installFolder, &elevatedSwitches.log})
      if (!path->empty()) *path = routines.universalPath(*path);
    const std::string given = mode + (run.switched ? FormatInstallSwitches(elevatedSwitches) : std::string());
    const std::string tail = given.empty() ? std::string(kElevatedMark) : std::string(kElevatedMark) + " " + given;
    // The elevated copy is waited for when its end means something here: a
    // job's exit code, or an installation whose program this process then
    // starts for its own user.
    const bool wait = run.switched || install;
    DWORD code = static_cast<DWORD>(InstallExitCode::kDone);
    error = routines.startElevated(program, tail, wait ? &code : nullptr);
    if (error == 0) {
      LogInstallStep("Elevated copy started");
      run.exitCode = JobCode(code);
      // The elevated copy installed for all users; the program's first
      // start is this user's, unelevated, as an ordinary start.
      if (install && run.exitCode == InstallExitCode::kDone && !InstallJobIsSilent())
        run.StartInstalledProgram(RecordedInstallFolder(run.names.selfInstallKey));
      return Elevation::kRestarted;
    }
  }
  if (mustElevate) {
    // The job cannot go on without the rights it was asked to use.
    LogInstallResult("Elevation", false, error);
    run.End(error == ERROR_CANCELLED ? InstallExitCode::kCancelled : InstallExitCode::kFailed);
    return Elevation::kDeclined;
  }
  // Declined (ERROR_CANCELLED) or not possible: go on for this user only.
  run.perUser = true;
  LogInstallStep("Install for this user only (elevation declined or not possible)");
  return Elevation::kDeclined;
}
