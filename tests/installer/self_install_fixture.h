#pragma once
// What the self-installer's tests share: the stand-ins behind the
// installer's routines and what they saw (the world), the registry and
// folder helpers, and the fixtures that run the installer in this process
// on the real registry and files of the scratch prefix.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/app_self_install.h"
#include "app_base/settings.h"
#include "framework/handle.h"
#include "framework/wide.h"
#include "installer/deferred.h"
#include "installer/elevation.h"
#include "installer/install_paths.h"
#include "installer/installer_routines.h"
#include "installer/registry_records.h"
#include "installer/self_install.h"
#include "tests/app/test_app.h"
#include "tests/settings/registry_probe.h"
#include "tests/support/scripted_boxes.h"
#include "tests/support/running_copy.h"
#include "tests/support/scoped_routines.h"
#include "tests/support/temp_dir.h"

namespace self_install_test {

const char kTitle[] = "Orvane Zenvero";
const char kAppKey[] = "Software\\Orvane\\Zenvero";
const char kRecordKey[] = "Software\\Orvane\\Zenvero\\SelfInstall";
const std::string kUninstallKeyPath = std::string(kUninstallKeyBase) + "\\OrvaneZenvero";
const char* const kUninstallKey = kUninstallKeyPath.c_str();
const std::string kVersion = "1.20";  // the test program carries the program's version resource
const char kNewCopy[] =
    "You are about to install a new copy of Orvane Zenvero.\n\nIt is recommended to close all "
    "Orvane Zenvero windows before continuing.\n\nDo you want to continue?";

// What the seams saw and how they answer.
struct Started {
  std::string commandLine;
  std::string folder;
  bool waited = false;  // the starter waited for its end
  bool holding = false;  // it was handed a handle to hold
};
struct World {
  std::string modulePath;
  std::vector<Started> started;
  bool startSucceeds = true;
  std::function<void(const Started&)> onStart;
  DWORD waitedExitCode = 0;  // what a process that is waited for returns
  int licenseCalls = 0;
  bool licenseDeclined = false;
  bool destinationCancelled = false;
  std::string destination;  // empty: keep the proposal
  std::vector<std::string> proposals;
  int closeResult = 0;  // 1: the user cancelled
  int closeCalls = 0;
  bool needsElevation = false;
  DWORD elevationResult = ERROR_CANCELLED;
  std::vector<std::string> elevatedStarts;
  bool elevatedWaited = false;
  DWORD elevatedExitCode = 0;
  std::function<void()> onElevated;  // what the elevated copy does
  bool machineWritable = true;
  std::vector<UINT> exitCalls;
  std::vector<std::string> changeableByOthers;  // folders others may change
  std::vector<std::string> movableByOthers;     // folders others may rename, with what is above them
  std::vector<std::string> networkPaths;        // on another computer
  std::map<std::string, std::string> universal;  // mapped drives' paths and their UNC paths
  std::vector<std::string> reparsePoints;       // junctions and the like
  std::vector<std::string> securedFolders;      // given the all-users permissions
  bool secureSucceeds = true;
  bool localSystem = false;  // runs as the system account
  std::vector<std::shared_ptr<CHandle>> held;  // what started processes hold
};
inline World* g_world = nullptr;

inline bool FakeRun(const char* commandLine, const char* folder) {
  Started s{commandLine, folder != nullptr ? folder : "<none>"};
  g_world->started.push_back(s);
  if (g_world->onStart) g_world->onStart(s);
  return g_world->startSucceeds;
}
// Holds a copy of the handle as the started process would, until the test
// lets it go (g_world->held).
inline bool FakeRunHolding(const char* commandLine, const char* folder, HANDLE held) {
  Started s{commandLine, folder != nullptr ? folder : "<none>", false, held != nullptr};
  g_world->started.push_back(s);
  if (g_world->onStart) g_world->onStart(s);
  if (g_world->startSucceeds && held != nullptr) {
    HANDLE copy = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), held, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
      g_world->held.push_back(std::make_shared<CHandle>(copy));
  }
  return g_world->startSucceeds;
}
inline bool FakeRunAndWait(const char* commandLine, const char* folder, DWORD* exitCode) {
  Started s{commandLine, folder != nullptr ? folder : "<none>", true};
  g_world->started.push_back(s);
  if (g_world->onStart) g_world->onStart(s);
  if (exitCode != nullptr) *exitCode = g_world->waitedExitCode;
  return g_world->startSucceeds;
}
inline bool FakeLicense(HWND, const std::string&) {
  ++g_world->licenseCalls;
  return g_world->licenseDeclined;
}
inline bool FakeDestination(HWND, std::string& folder, const std::string&, const std::string& title,
                     const std::vector<std::string>&) {
  g_world->proposals.push_back(folder);
  if (g_world->destinationCancelled) return true;
  if (!g_world->destination.empty()) {
    folder = g_world->destination;
  } else if (folder.empty()) {
    folder = "C:\\Program Files\\" + title;
  }
  return false;
}
inline CloseResult FakeClose(HWND, const std::string&, const std::string&, const std::string&,
                             const std::vector<CSelfInstallProgram>&, const std::vector<std::string>&) {
  ++g_world->closeCalls;
  return g_world->closeResult == 1 ? CloseResult::kCancelled : CloseResult::kClosed;
}
inline std::string FakeModulePath() { return g_world->modulePath; }
inline bool FakeNeedsElevation() { return g_world->needsElevation; }
inline DWORD FakeStartElevated(const std::string& program, const std::string& arguments, DWORD* exitCode) {
  g_world->elevatedStarts.push_back(program + "|" + arguments);
  g_world->elevatedWaited = exitCode != nullptr;
  if (g_world->elevationResult == 0 && g_world->onElevated) g_world->onElevated();
  if (exitCode != nullptr) *exitCode = g_world->elevatedExitCode;
  return g_world->elevationResult;
}
inline bool FakeMachineKey(const char* subkey) {
  return g_world->machineWritable && EnsureRegistryKey(HKEY_LOCAL_MACHINE, subkey);
}
inline BOOL WINAPI FakeExitWindows(UINT flags, DWORD) {
  g_world->exitCalls.push_back(flags);
  return TRUE;
}

inline bool NamesAny(const std::vector<std::string>& paths, const std::string& path) {
  for (const std::string& p : paths)
    if (lstrcmpiA(p.c_str(), path.c_str()) == 0) return true;
  return false;
}
inline bool FakeLocalSystem() { return g_world->localSystem; }
inline bool FakeOthersMayChange(const std::string& folder) { return NamesAny(g_world->changeableByOthers, folder); }
inline bool FakeOthersMayMove(const std::string& folder) { return NamesAny(g_world->movableByOthers, folder); }
inline bool FakeNetworkPath(const std::string& path) { return NamesAny(g_world->networkPaths, path); }
inline std::string FakeUniversalPath(const std::string& path) {
  const auto found = g_world->universal.find(path);
  return found != g_world->universal.end() ? found->second : path;
}
inline bool FakeReparsePoint(const std::string& path) { return NamesAny(g_world->reparsePoints, path); }
inline bool FakeSecureFolder(const std::string& folder) {
  g_world->securedFolders.push_back(folder);
  return g_world->secureSucceeds;
}

// A REG_MULTI_SZ value from its strings.
inline std::string MultiString(const std::vector<std::string>& items) {
  std::string data;
  for (const std::string& item : items) data += item + std::string(1, '\0');
  return data + std::string(1, '\0');
}

inline std::string Folder(const std::string& path) { return path + "\\"; }

// The routines in use with every stand-in of the world.
inline CInstallerRoutines WorldRoutines() {
  CInstallerRoutines routines = InstallerRoutines();
  routines.runCommandLine = FakeRun;
  routines.runHolding = FakeRunHolding;
  routines.runAndWait = FakeRunAndWait;
  routines.showLicenseAgreement = FakeLicense;
  routines.chooseDestinationFolder = FakeDestination;
  routines.closeRunningPrograms = FakeClose;
  routines.getModulePath = FakeModulePath;
  routines.needsElevation = FakeNeedsElevation;
  routines.startElevated = FakeStartElevated;
  routines.ensureMachineKey = FakeMachineKey;
  routines.exitWindowsEx = FakeExitWindows;
  routines.runsAsLocalSystem = FakeLocalSystem;
  routines.othersMayChangeFolder = FakeOthersMayChange;
  routines.othersMayMoveFolder = FakeOthersMayMove;
  routines.isNetworkPath = FakeNetworkPath;
  routines.universalPath = FakeUniversalPath;
  routines.secureFolder = FakeSecureFolder;
  routines.isReparsePoint = FakeReparsePoint;
  return routines;
}

// The routines in use with WinInit.Ini in `folder`, read at the next start
// as Windows 95, 98 and Me read it.
inline CInstallerRoutines WithWinInitFolder(const std::string& folder) {
  CInstallerRoutines routines = InstallerRoutines();
  routines.winInitRead = true;
  routines.winInitFolder = folder;
  return routines;
}

// A run's result as the tables write it: 1 when the process is to end.
inline int Ended(RunResult result) { return result == RunResult::kEndProcess ? 1 : 0; }

inline std::string ProgramsFolder() {
  return QueryRaw(HKEY_CURRENT_USER,
                  "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                  "Programs")
      .Text()
      .c_str();
}

// All users' folder of a kind ("Programs", "Desktop"), where an
// installation for the machine puts its links.
inline std::string CommonFolder(const char* kind) {
  return QueryRaw(HKEY_LOCAL_MACHINE,
                  "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                  (std::string("Common ") + kind).c_str())
      .Text()
      .c_str();
}

inline void ClearInstallation() {
  DeleteTree(HKEY_CURRENT_USER, "Software\\Orvane");
  DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane");
  DeleteTree(HKEY_CURRENT_USER, kUninstallKey);
  DeleteTree(HKEY_LOCAL_MACHINE, kUninstallKey);
  RemoveTree(ProgramsFolder() + "\\" + kTitle);
  RemoveTree(ProgramsFolder() + "\\Zenvero");
  RemoveTree(CommonFolder("Programs") + "\\" + kTitle);
}

class SelfInstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The installer runs with the program's text in UTF-8, as the program
    // switches to before anything else (and once: windows and classes made
    // before a switch stay 8-bit ones).
    UseUtf8Text(true);
    TestApp().Start("Velmora.exe");
    TestApp().m_pCmdInfo.reset();
    OleInitialize(nullptr);  // the links are shell objects
    ClearInstallation();
    g_world = &m_world;

    m_dist = Folder(m_root / "dist");
    CreateDirectoryA(m_dist.c_str(), nullptr);
    // The distribution without the help contents file.
    for (const char* name : {"Velmora.exe", "Readme.txt", "Velmora.hlp", "License.rtf"}) {
      WriteWholeFile(m_dist + name, std::string("content of ") + name);
    }
    m_world.modulePath = m_dist + "Velmora.exe";
    m_install = m_root / "Programs\\Orvane Zenvero";
  }
  void TearDown() override {
    TestApp().m_pCmdInfo.reset();
    g_world = nullptr;
    ClearInstallation();
    OleUninitialize();
  }

  int Run(const std::string& tail) {
    CAppSelfInstall installer(kTitle);
    return Ended(installer.Run(tail));
  }
  void WriteMachineRecord(const std::string& version, const std::string& folder) {
    SetRawString(HKEY_LOCAL_MACHINE, kRecordKey, "Version", version);
    SetRawString(HKEY_LOCAL_MACHINE, kRecordKey, "Directory", folder);
  }
  void WriteUserRecord(const std::string& version, const std::string& folder) {
    SetRawString(HKEY_CURRENT_USER, kRecordKey, "Version", version);
    SetRawString(HKEY_CURRENT_USER, kRecordKey, "Directory", folder);
  }
  // Runs install step 2 as the copy in the install folder.
  int RunStep2() {
    m_world.modulePath = Folder(m_install) + "Velmora.exe";
    return Run("/installstep2");
  }

  World m_world;
  CScopedRoutines<CInstallerRoutines> m_Routines{SetInstallerRoutines, WorldRoutines()};
  CTempDir m_root;
  std::string m_dist;
  std::string m_install;
};

// Saves the pending operations of the prefix and puts them back; WinInit.Ini
// is a scratch one in a folder of its own.
class CPendingOperationsGuard {
 public:
  CPendingOperationsGuard()
      : m_Saved(QueryRaw(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingFileRenameValue)),
        m_strWinInit(m_WinInitFolder / "WinInit.Ini"),
        m_Routines(SetInstallerRoutines, WithWinInitFolder(m_WinInitFolder.GetPath())) {}
  ~CPendingOperationsGuard() {
    if (m_Saved.exists) {
      SetRaw(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingFileRenameValue, m_Saved.type,
             m_Saved.data.data(), static_cast<DWORD>(m_Saved.data.size()));
    } else {
      HKEY key;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_SET_VALUE, &key) == 0) {
        RegDeleteValueA(key, kPendingFileRenameValue);
        RegCloseKey(key);
      }
    }
  }
  void SetPending(const std::string& multiString) {
    SetRaw(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingFileRenameValue, REG_MULTI_SZ,
           multiString.data(), static_cast<DWORD>(multiString.size()));
  }

 private:
  RawValue m_Saved;
  CTempDir m_WinInitFolder;

 public:
  const std::string m_strWinInit;

 private:
  CScopedRoutines<CInstallerRoutines> m_Routines;
};

// A job run with switches: Run's result, then the exit code the process ends with.
struct JobResult {
  int result;
  InstallExitCode exitCode;
};

class SelfInstallJobTest : public SelfInstallTest {
 protected:
  void SetUp() override {
    SelfInstallTest::SetUp();
    m_log = m_root / "setup.log";
  }
  JobResult RunJob(const std::string& tail) {
    CAppSelfInstall installer(kTitle);
    const int result = Ended(installer.Run(tail));
    return {result, installer.ExitCode()};
  }
  std::string Log() const {
    std::string text;
    ReadWholeFile(m_log, &text);
    return text;
  }
  std::string LogSwitch() const { return " /LOG=\"" + m_log + "\""; }
  std::string m_log;
};

inline bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace self_install_test
