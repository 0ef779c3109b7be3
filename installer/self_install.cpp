#include "installer/self_install.h"

#include "app_base/module.h"
#include "app_base/settings.h"
#include "app_base/version.h"
#include "framework/file_system.h"
#include "framework/path.h"
#include "framework/win_app.h"
#include "installer/backdrop.h"
#include "installer/elevation.h"
#include "installer/install.h"
#include "installer/install_job.h"
#include "installer/installer_routines.h"
#include "installer/registry_records.h"
#include "installer/uninstall.h"

namespace {

// The job's switches as this process has to pass them on: the folder and
// the log as full paths, since the copies it starts run in other folders.
CInstallSwitches WithFullPaths(CInstallSwitches switches) {
  for (std::string* path : {&switches.installFolder, &switches.log}) {
    if (path->empty()) continue;
    std::string full;
    if (GetFullPathNamed(*path, full) && FitsMaxPath(full)) *path = full;
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

const char* ExitCodeText(InstallExitCode code) {
  switch (code) {
    case InstallExitCode::kDone: return "done";
    case InstallExitCode::kRestartNeeded: return "done; a restart of Windows finishes it";
    case InstallExitCode::kCancelled: return "cancelled";
    default: return "failed";
  }
}

}  // namespace

CSelfInstall::CSelfInstall(CInstallManifest manifest) : m_Manifest(std::move(manifest)), m_Run(m_Manifest, m_Window) {}

InstallExitCode CSelfInstall::ExitCode() const { return m_Run.Waited() ? m_Run.exitCode : InstallExitCode::kDone; }

RunResult CSelfInstall::Run(const std::string& markedTail) {
  // The copy that elevation restarted carries a mark before the tail it was
  // given; the modes are chosen by that tail alone.
  std::string tail = StripElevatedMark(markedTail, m_Run.elevationTried);
  // A mode followed by switches alone is a job for an administrator's
  // tools; anything else is the tail as it always was.
  for (const char* mode : {kInstallSwitch, kInstallStep2Switch, kUninstallSwitch}) {
    CInstallSwitches switches;
    if (ParseModeWithSwitches(tail, mode, switches) && switches.any) {
      m_Run.switched = true;
      m_Run.switches = WithFullPaths(switches);
      tail = mode;
      break;
    }
  }
  CInstallJobScope job(m_Run.switched ? m_Run.switches : CInstallSwitches());

  CInstallNames& names = m_Run.names;
  names.appTitle = AfxGetAppTitle();
  names.registryKey = GetProfileRegistryKey();
  names.instanceKey = GetInstanceKey();
  names.uninstallKey = GetUninstallKey();
  names.modulePath = InstallerRoutines().getModulePath();
  names.moduleFolder = FolderOfPath(names.modulePath);
  names.appKey = GetApplicationKey();
  names.selfInstallKey = GetSelfInstallKey();
  names.currentVersion = GetVersionText();
  // A log whose lines a link could lead elsewhere is refused before a line
  // is written (the job often runs with an administrator's rights).
  if (m_Run.switched && !m_Run.switches.log.empty()) {
    const std::string refusal = LogFileRefusal(m_Run.switches.log);
    if (!refusal.empty()) {
      const std::string log = m_Run.switches.log;
      m_Run.switches.log.clear();
      SetInstallJob(m_Run.switches);
      InstallerMessageBox(nullptr,
                          names.appTitle + " cannot write its log to " + log + ", because " + refusal +
                              ".\n\nPlease name another file for /LOG.",
                          MB_OK | MB_ICONEXCLAMATION);
      return m_Run.End(InstallExitCode::kFailed);
    }
  }
  if (tail != kInstallStep2Switch)
    LogInstallStep(names.appTitle + " " + names.currentVersion + " (" + names.modulePath + "): " + tail +
                   FormatInstallSwitches(m_Run.switches));

  RunResult result;
  if (tail == kUninstallSwitch) {
    result = RunUninstall(m_Run);
  } else if (tail.compare(0, sizeof kFinishUninstallSwitch, std::string(kFinishUninstallSwitch) + " ") == 0) {
    return FinishUninstall(m_Run, tail.substr(sizeof kFinishUninstallSwitch));
  } else {
    result = RunInstallCheck(m_Run, tail);
  }
  if (m_Run.switched && tail != kInstallStep2Switch)
    LogInstallStep("Exit code " + std::to_string(static_cast<int>(m_Run.exitCode)) + ": " +
                   ExitCodeText(m_Run.exitCode));
  return result;
}
