#pragma once
#include <windows.h>

#include <string>

#include "installer/backdrop.h"
#include "installer/install_manifest.h"
#include "installer/switches.h"

// One run of the installer as its steps share it: the names the driver
// worked out before it chose the mode, what the run has decided so far (for
// whom, how it was started) and how it ends. The steps (elevation, install,
// uninstall) read and update it and keep no state of their own.

// The command-line modes.
constexpr const char kInstallSwitch[] = "/install";
constexpr const char kInstallStep2Switch[] = "/installstep2";
constexpr const char kUninstallSwitch[] = "/uninstall";

// What a run tells the program: end the process now, or go on with the
// normal start.
enum class RunResult { kGoOn, kEndProcess };

// The exit code of a job run with switches, or of a copy that elevation
// started. The values are the process's exit code, which the tools that
// waited read.
enum class InstallExitCode : int { kDone = 0, kFailed = 1, kCancelled = 2, kRestartNeeded = 3010 };

// The job's code for the exit code of a copy it waited for: one that ended
// any other way (a crash, -1 from the start-up) failed.
InstallExitCode JobCode(DWORD processExitCode);

// The values the driver works out before it chooses the mode.
struct CInstallNames {
  std::string appTitle;
  std::string registryKey;
  std::string instanceKey;
  std::string uninstallKey;
  std::string modulePath;
  std::string moduleFolder;  // ends with a separator; empty when too long to hold
  std::string appKey;
  std::string selfInstallKey;
  std::string currentVersion;
};

struct CInstallRun {
  CInstallRun(const CInstallManifest& manifestIn, CBackdropWindow& backdropIn)
      : manifest(manifestIn), backdrop(backdropIn) {}
  CInstallRun(const CInstallRun&) = delete;
  CInstallRun& operator=(const CInstallRun&) = delete;

  // Ends the job with `code`.
  RunResult End(InstallExitCode code) {
    exitCode = code;
    return RunResult::kEndProcess;
  }
  // Whoever started the job waits for it: it ran with switches, or elevation
  // started this copy for a process that waits.
  bool Waited() const { return switched || elevationTried; }
  // The tail for a copy this one starts for `mode`: the elevation mark when
  // this copy carries it, the mode, and this job's switches.
  std::string ChildTail(const std::string& mode) const;
  // Makes `subkey` under HKEY_LOCAL_MACHINE; false for a per-user
  // installation, which keeps every record under HKEY_CURRENT_USER.
  bool MachineKey(const std::string& subkey) const;
  // Starts the installed program as a plain start, for the user who runs
  // this process; after a job that showed itself.
  void StartInstalledProgram(const std::string& installFolder) const;

  const CInstallManifest& manifest;
  CBackdropWindow& backdrop;
  CInstallNames names;
  bool perUser = false;
  bool elevationTried = false;  // this copy was started by the elevation
  bool switched = false;        // a job with switches
  CInstallSwitches switches;
  InstallExitCode exitCode = InstallExitCode::kDone;
};
