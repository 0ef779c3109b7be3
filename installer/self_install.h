#pragma once
#include <string>

#include "installer/backdrop.h"
#include "installer/install_manifest.h"
#include "installer/install_run.h"

// The installer: the program hands it its install manifest at every start
// and calls Run with the command-line tail, which chooses the mode:
//   "/uninstall"    removes the installation (installer/uninstall.h),
//   "/installstep2" records the freshly copied program, then starts normally,
//   anything else   starts normally, hands over to the installed copy, or
//                   asks and copies the program into an install folder
//                   (installer/install.h).
// "/install", "/installstep2" and "/uninstall" followed by switches (see
// installer/switches.h) run the same job for an administrator's tools: as
// quiet as the switches say, with a log, and ending with an exit code.
// A copy that elevation started carries a mark first (installer/elevation.h).
class CSelfInstall {
 public:
  explicit CSelfInstall(CInstallManifest manifest);
  CSelfInstall(const CSelfInstall&) = delete;
  CSelfInstall& operator=(const CSelfInstall&) = delete;

  RunResult Run(const std::string& tail);

  // The exit code of a job run with switches, or of a copy that elevation
  // started; kDone for every other run.
  InstallExitCode ExitCode() const;

  const CInstallManifest& Manifest() const { return m_Manifest; }
  // The backdrop: created hidden with the object, shown by the steps.
  CBackdropWindow& Backdrop() { return m_Window; }

 private:
  const CInstallManifest m_Manifest;
  CBackdropWindow m_Window;
  CInstallRun m_Run;
};
