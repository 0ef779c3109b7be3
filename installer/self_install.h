#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "installer/backdrop.h"
#include "installer/close_programs.h"
#include "installer/shortcuts.h"
#include "installer/switches.h"

// A registry string value that install step 2 writes (under an existing key)
// and uninstall deletes.
class CSelfInstallRegValue {
 public:
  CSelfInstallRegValue(HKEY root, const std::string& subKey, const std::string& valueName,
                       const std::string& value)
      : Root(root), SubKey(subKey), ValueName(valueName), Value(value) {}
  HKEY Root;
  std::string SubKey;
  std::string ValueName;
  std::string Value;
};

// A registry key tree that uninstall deletes.
class CSelfInstallRegKey {
 public:
  CSelfInstallRegKey(HKEY root, const std::string& subKey) : Root(root), SubKey(subKey) {}
  HKEY Root;
  std::string SubKey;
};

// The install manifest and the installer in one object. The application fills
// the fields at every start and calls Run with the command-line tail:
//   "/uninstall"    removes the installation,
//   "/installstep2" records the freshly copied program, then starts normally,
//   anything else   starts normally, hands over to the installed copy, or
//                   asks and copies the program into an install folder.
// "/install", "/installstep2" and "/uninstall" followed by switches (see
// installer/switches.h) run the same job for an administrator's tools: as
// quiet as the switches say, with a log, and ending with an exit code.
class CSelfInstall {
 public:
  CSelfInstall();
  virtual ~CSelfInstall();
  CSelfInstall(const CSelfInstall&) = delete;
  CSelfInstall& operator=(const CSelfInstall&) = delete;

  // 1: end the program now; 0: go on with the normal start.
  int Run(const std::string& tail);

  // The exit code of a job run with switches, or of a copy that elevation
  // started: 0 done, 3010 done once Windows restarts, 1 failed, 2 cancelled.
  // 0 for every other run.
  int ExitCode() const;
  static constexpr int kDone = 0;
  static constexpr int kFailed = 1;
  static constexpr int kCancelled = 2;
  static constexpr int kRestartNeeded = 3010;

  // Called once at the end of install step 2, after the shortcuts and the
  // uninstall entry and before the installation record. Does nothing here.
  virtual void OnInstalled(const std::string& installFolder);

  std::vector<std::string> m_FilesToCopy;    // copied by install step 1, deleted by uninstall
  std::vector<std::string> m_FilesToDelete;  // deleted by uninstall only
  int m_bRunAtStartup = 0;
  std::string m_RunArguments;
  int m_bAppPath = 0;
  std::string m_AppPathPath;
  std::vector<CSelfInstallShortcut> m_Shortcuts;
  std::vector<CSelfInstallRegValue> m_RegValues;
  std::vector<CSelfInstallRegKey> m_RegKeys;
  std::vector<CSelfInstallProgram> m_ProgramsToClose;
  std::string m_CloseWindowClass;
  std::string m_CloseWindowTitle;
  std::string m_ExeName;
  int m_bAskDesktopShortcut = 0;
  CBackdropWindow m_Window;

 private:
  struct Names;

  int RunInstallCheck(const Names& names, const std::string& tail);
  int RunInstallStep1(const Names& names, bool perUser);
  int RunInstallStep2(const Names& names);
  int RunUninstall(const Names& names);
  // Starts a copy of the program from the temporary folder that deletes the
  // installed files once this process has ended; false when it cannot.
  bool StartUninstallFinisher(const Names& names);
  // That copy's work: waits for the installed copy, deletes the manifest's
  // files in the folder and then the folder if nothing else is in it.
  int FinishUninstall(const Names& names, const std::string& arguments);
  // Ends the run and restarts it elevated when the system wants that; on a
  // declined elevation the run goes on as a per-user installation.
  enum class Elevation { NotNeeded, Restarted, Declined };
  Elevation ElevateIfNeeded(const std::string& tail, bool install);
  bool MachineKey(const std::string& subkey) const;
  // The job's code for the exit code of a copy it waited for.
  static int JobCode(DWORD processExitCode);
  // Ends the job with `code`: the result of Run is then 1.
  int End(int code);
  // Whoever started the job waits for it: it ran with switches, or elevation
  // started this copy for a process that waits.
  bool Waited() const { return m_bSwitched || m_bElevationTried; }
  // The tail for a copy this one starts for `mode`: the elevation mark when
  // this copy carries it, the mode, and this job's switches.
  std::string ChildTail(const std::string& mode) const;
  // Starts the installed program as a plain start, for the user who runs
  // this process; after a job that showed itself.
  void StartInstalledProgram(const std::string& folder);
  // Takes back what a failed copy step made: the files that were not there
  // before and the folders it created.
  void UndoCopy(const std::vector<std::string>& files, const std::vector<std::string>& folders);

  bool m_bPerUser = false;
  bool m_bElevationTried = false;  // this copy was started by the elevation
  bool m_bSwitched = false;        // a job with switches
  CInstallSwitches m_Switches;
  int m_nExitCode = kDone;
};

// Put before the command-line tail of the copy that elevation starts, so
// that the copy starts no further one; Run takes it off again.
constexpr const char kElevatedMark[] = "/elevatedcopy";
// The tail without the mark; `marked` says whether it had one.
std::string StripElevatedMark(const std::string& tail, bool& marked);

// Creates every missing folder of `path`, one level at a time; `made` (may
// be null) receives those it created, outermost first.
void CreateFolderPath(const std::string& path, std::vector<std::string>* made = nullptr);

// The command-line text of a program path in double quotes, a blank and the
// arguments.
std::string QuotedCommand(const std::string& program, const std::string& arguments);

// The install folder proposed to a per-user installation:
// %LOCALAPPDATA%\Programs\<application title>; empty when unknown.
std::string PerUserInstallFolder(const std::string& appTitle);

// The KB that the files occupy in `folder` (each rounded up to whole KB).
DWORD InstalledSizeKB(const std::string& folder, const std::vector<std::string>& names);

// Where the installer meets the system. Tests replace them, so that no
// process is started, no dialog waits for a user and no machine-wide key is
// needed; every member is set (the defaults are the real routines).
struct CSelfInstallRoutines {
  // Starts a process without waiting (RunCommandLine).
  bool (*runCommandLine)(const char* commandLine, const char* currentFolder);
  // Starts a process and waits until it has ended (RunCommandLineAndWait).
  bool (*runAndWait)(const char* commandLine, const char* currentFolder, DWORD* exitCode);
  // The licence dialog; true when the licence was declined.
  bool (*showLicenseAgreement)(HWND parent, const std::string& sourceFolder);
  // The destination dialog; true when the user did not accept.
  bool (*chooseDestinationFolder)(HWND parent, std::string& folder,
                                  const std::string& sourceFolder, const std::string& appTitle,
                                  const std::vector<std::string>& fileNames);
  // Closing running copies; 1 when the user cancelled.
  int (*closeRunningPrograms)(HWND owner, const std::string& windowClass,
                              const std::string& windowTitle, const std::string& programName,
                              const std::vector<CSelfInstallProgram>& more);
  // The running program's full path (GetModulePath).
  std::string (*getModulePath)();
  // True when the system separates administrators from elevated processes
  // and this process is not elevated.
  bool (*needsElevation)();
  // Starts the program elevated with these arguments; 0 when started,
  // otherwise the system error (ERROR_CANCELLED: the user declined). With
  // `exitCode`, waits until the elevated copy has ended and gives its code.
  DWORD (*startElevated)(const std::string& program, const std::string& arguments,
                         DWORD* exitCode);
  // Makes a key under HKEY_LOCAL_MACHINE (EnsureRegistryKey); false refuses.
  bool (*ensureMachineKey)(const char* subkey);
};

CSelfInstallRoutines DefaultSelfInstallRoutines();
// The routines in use.
const CSelfInstallRoutines& SelfInstallRoutines();
// Installs the routines; returns the previous set.
CSelfInstallRoutines SetSelfInstallRoutines(const CSelfInstallRoutines& routines);

// The real elevation routines.
bool ProcessNeedsElevation();
DWORD StartElevated(const std::string& program, const std::string& arguments, DWORD* exitCode);
