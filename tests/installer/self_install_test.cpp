// The self-installer's decisions and what they leave behind, run in this
// process on the real registry and files of the scratch prefix. Starting
// processes, the licence and destination answers, elevation, machine-wide
// writes and the restart go through the installer's seams; message boxes are
// answered by a script.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/app_self_install.h"
#include "app/settings.h"
#include "framework/handle.h"
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

namespace {


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
};
World* g_world = nullptr;

bool FakeRun(const char* commandLine, const char* folder) {
  Started s{commandLine, folder != nullptr ? folder : "<none>"};
  g_world->started.push_back(s);
  if (g_world->onStart) g_world->onStart(s);
  return g_world->startSucceeds;
}
bool FakeRunAndWait(const char* commandLine, const char* folder, DWORD* exitCode) {
  Started s{commandLine, folder != nullptr ? folder : "<none>", true};
  g_world->started.push_back(s);
  if (g_world->onStart) g_world->onStart(s);
  if (exitCode != nullptr) *exitCode = g_world->waitedExitCode;
  return g_world->startSucceeds;
}
bool FakeLicense(HWND, const std::string&) {
  ++g_world->licenseCalls;
  return g_world->licenseDeclined;
}
bool FakeDestination(HWND, std::string& folder, const std::string&, const std::string& title,
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
CloseResult FakeClose(HWND, const std::string&, const std::string&, const std::string&,
                      const std::vector<CSelfInstallProgram>&) {
  ++g_world->closeCalls;
  return g_world->closeResult == 1 ? CloseResult::kCancelled : CloseResult::kClosed;
}
std::string FakeModulePath() { return g_world->modulePath; }
bool FakeNeedsElevation() { return g_world->needsElevation; }
DWORD FakeStartElevated(const std::string& program, const std::string& arguments, DWORD* exitCode) {
  g_world->elevatedStarts.push_back(program + "|" + arguments);
  g_world->elevatedWaited = exitCode != nullptr;
  if (g_world->elevationResult == 0 && g_world->onElevated) g_world->onElevated();
  if (exitCode != nullptr) *exitCode = g_world->elevatedExitCode;
  return g_world->elevationResult;
}
bool FakeMachineKey(const char* subkey) {
  return g_world->machineWritable && EnsureRegistryKey(HKEY_LOCAL_MACHINE, subkey);
}
BOOL WINAPI FakeExitWindows(UINT flags, DWORD) {
  g_world->exitCalls.push_back(flags);
  return TRUE;
}

// A REG_MULTI_SZ value from its strings.
std::string MultiString(const std::vector<std::string>& items) {
  std::string data;
  for (const std::string& item : items) data += item + std::string(1, '\0');
  return data + std::string(1, '\0');
}

std::string Folder(const std::string& path) { return path + "\\"; }

// The routines in use with every stand-in of the world.
CInstallerRoutines WorldRoutines() {
  CInstallerRoutines routines = InstallerRoutines();
  routines.runCommandLine = FakeRun;
  routines.runAndWait = FakeRunAndWait;
  routines.showLicenseAgreement = FakeLicense;
  routines.chooseDestinationFolder = FakeDestination;
  routines.closeRunningPrograms = FakeClose;
  routines.getModulePath = FakeModulePath;
  routines.needsElevation = FakeNeedsElevation;
  routines.startElevated = FakeStartElevated;
  routines.ensureMachineKey = FakeMachineKey;
  routines.exitWindowsEx = FakeExitWindows;
  return routines;
}

// The routines in use with WinInit.Ini in `folder`.
CInstallerRoutines WithWinInitFolder(const std::string& folder) {
  CInstallerRoutines routines = InstallerRoutines();
  routines.winInitFolder = folder;
  return routines;
}

// A run's result as the tables write it: 1 when the process is to end.
int Ended(RunResult result) { return result == RunResult::kEndProcess ? 1 : 0; }

std::string ProgramsFolder() {
  return QueryRaw(HKEY_CURRENT_USER,
                  "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                  "Programs")
      .Text()
      .c_str();
}

// All users' folder of a kind ("Programs", "Desktop"), where an
// installation for the machine puts its links.
std::string CommonFolder(const char* kind) {
  return QueryRaw(HKEY_LOCAL_MACHINE,
                  "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                  (std::string("Common ") + kind).c_str())
      .Text()
      .c_str();
}

void ClearInstallation() {
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

TEST(AppManifest, ListsTheProgramsFilesLinksAndCaption) {
  TestApp().Start("Velmora.exe");
  const CInstallManifest manifest = AppInstallManifest(kTitle);
  EXPECT_EQ("Velmora.exe", manifest.ExeName);
  EXPECT_EQ((std::vector<std::string>{"Readme.txt", "Velmora.exe", "Velmora.hlp", "Velmora.cnt",
                                      "Velmora.chm"}),
            manifest.FilesToCopy);
  EXPECT_EQ((std::vector<std::string>{"Velmora.gid", "Velmora.chw", "License.rtf", "setup.exe",
                                      "File_id.diz"}),
            manifest.FilesToDelete);
  struct Link {
    const char* name;
    const char* target;
    const char* arguments;
    int icon;
  } links[] = {{"Orvane Zenvero", "Velmora.exe", "", 0},
               {"Read Me", "Readme.txt", "", 0},
               {"Uninstall Orvane Zenvero", "Velmora.exe", "/uninstall", 2}};
  ASSERT_EQ(3u, manifest.Shortcuts.size());
  for (size_t i = 0; i < 3; ++i) {
    const CSelfInstallShortcut& s = manifest.Shortcuts[i];
    EXPECT_EQ(links[i].name, s.Name);
    EXPECT_EQ(links[i].target, s.Target);
    EXPECT_EQ(links[i].arguments, s.Arguments);
    EXPECT_EQ(links[i].icon, s.IconIndex);
    EXPECT_EQ("Programs", s.ShellFolder);
    EXPECT_EQ(kTitle, s.SubFolder);
  }
  // The links of the older Start-menu folder, which an installation removes.
  const char* const earlier[] = {"Zenvero", "Read Me", "Uninstall Zenvero"};
  ASSERT_EQ(3u, manifest.EarlierShortcuts.size());
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(earlier[i], manifest.EarlierShortcuts[i].Name);
    EXPECT_EQ("Programs", manifest.EarlierShortcuts[i].ShellFolder);
    EXPECT_EQ("Zenvero", manifest.EarlierShortcuts[i].SubFolder);
  }
  EXPECT_EQ("", manifest.CloseWindowClass);
  EXPECT_EQ(kTitle, manifest.CloseWindowTitle);
  EXPECT_FALSE(manifest.RunAtStartup);
  EXPECT_EQ("", manifest.RunArguments);
  EXPECT_FALSE(manifest.AppPath);
  EXPECT_EQ("", manifest.AppPathPath);
  EXPECT_FALSE(manifest.AskDesktopShortcut);
  EXPECT_TRUE(manifest.RegValues.empty());
  EXPECT_TRUE(manifest.RegKeys.empty());
  EXPECT_TRUE(manifest.ProgramsToClose.empty());
  // The backdrop exists from the start, hidden and without a title.
  CAppSelfInstall installer(kTitle);
  EXPECT_TRUE(IsWindow(installer.Backdrop().GetSafeHwnd()));
  EXPECT_FALSE(IsWindowVisible(installer.Backdrop().GetSafeHwnd()));
}

// Every tail against every kind of record: what the check decides. The
// question is answered No, so nothing is installed.
TEST_F(SelfInstallTest, InstallationCheckDecidesByTailAndRecord) {
  enum Record { kNone, kHere, kElsewhere, kOtherVersion, kHereOtherCase, kEmptyFolder, kUserOnly,
                kMachineVersionEmpty };
  struct Case {
    Record record;
    const char* tail;
    bool startSucceeds;
    int result;
    const char* question;  // the middle of the question, or "" for none
    const char* handOver;  // the hand-over command line, or ""
  } cases[] = {
      {kNone, "", true, 1, "install a new copy", ""},
      {kNone, "/install", true, 1, "install a new copy", ""},
      {kNone, "/INSTALL", true, 1, "install a new copy", ""},
      {kHere, "", true, 0, "", ""},
      {kHere, "notes.txt", true, 0, "", ""},
      {kHere, "/INSTALL", true, 0, "", ""},
      {kHere, " /install", true, 0, "", ""},
      {kHere, "/install ", true, 0, "", ""},
      {kHere, "/install /QUIET", true, 0, "", ""},
      {kHere, "/install /silent.txt", true, 0, "", ""},
      {kNone, "/VERYSILENT", true, 1, "install a new copy", ""},
      {kHere, "/install", true, 1, "re-install the same version", ""},
      {kElsewhere, "", true, 1, "", "\"C:\\Other\\Velmora.exe\" "},
      {kElsewhere, "notes.txt", true, 1, "", "\"C:\\Other\\Velmora.exe\" notes.txt"},
      {kElsewhere, "", false, 1, "re-install the same version", "\"C:\\Other\\Velmora.exe\" "},
      {kElsewhere, "/install", true, 1, "re-install the same version", ""},
      {kOtherVersion, "", true, 1, "install a different version", ""},
      {kOtherVersion, "/install", true, 1, "install a different version", ""},
      {kHereOtherCase, "", true, 1, "", "*"},
      {kEmptyFolder, "", true, 1, "install a new copy", ""},
      {kUserOnly, "", true, 0, "", ""},
      {kMachineVersionEmpty, "", true, 0, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("record ") + std::to_string(c.record) + " tail '" + c.tail + "'");
    ClearInstallation();
    m_world.started.clear();
    m_world.startSucceeds = c.startSucceeds;
    std::string lowered = m_dist;
    for (char& ch : lowered) ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
    switch (c.record) {
      case kNone: break;
      case kHere: WriteMachineRecord(kVersion, m_dist); break;
      case kElsewhere: WriteMachineRecord(kVersion, "C:\\Other\\"); break;
      case kOtherVersion: WriteMachineRecord("1.10", m_dist); break;
      case kHereOtherCase: WriteMachineRecord(kVersion, lowered); break;
      case kEmptyFolder: WriteMachineRecord(kVersion, ""); break;
      case kUserOnly: WriteUserRecord(kVersion, m_dist); break;
      case kMachineVersionEmpty:
        WriteMachineRecord("", "C:\\Other\\");
        WriteUserRecord(kVersion, m_dist);
        break;
    }
    CScriptedBoxes boxes({IDNO});
    EXPECT_EQ(c.result, Run(c.tail));
    if (*c.question == 0) {
      EXPECT_TRUE(boxes.m_Boxes.empty());
    } else {
      ASSERT_EQ(1u, boxes.m_Boxes.size());
      std::string expected = std::string("You are about to ") + c.question +
                             " of Orvane Zenvero.\n\nIt is recommended to close all Orvane "
                             "Zenvero windows before continuing.\n\nDo you want to continue?";
      EXPECT_EQ(expected, boxes.m_Boxes[0].text);
      EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), boxes.m_Boxes[0].type);
      EXPECT_EQ("Orvane Zenvero Setup", boxes.m_Boxes[0].caption);
      EXPECT_NE(nullptr, boxes.m_Boxes[0].owner);
    }
    std::string handOver = c.handOver;
    if (handOver == "*") handOver = "\"" + lowered + "Velmora.exe\" ";
    if (handOver.empty()) {
      EXPECT_TRUE(m_world.started.empty());
    } else {
      ASSERT_EQ(1u, m_world.started.size());
      EXPECT_EQ(handOver, m_world.started[0].commandLine);
      EXPECT_EQ("<none>", m_world.started[0].folder);
    }
    // Declining changes nothing.
    EXPECT_FALSE(QueryRaw(HKEY_CURRENT_USER, "Software\\Orvane\\Zenvero\\Settings",
                          "CreateDesktopShortcut").exists);
    EXPECT_EQ(0, m_world.closeCalls);
  }
}

TEST_F(SelfInstallTest, StepOneCopiesStartsTheCopyAndLeavesTheRecordToIt) {
  WriteUserRecord("0.90", "");  // a stale per-user record goes
  CScriptedBoxes boxes({IDYES});
  m_world.destination = m_install;  // no final separator: one is added
  EXPECT_EQ(1, Run("/install"));
  EXPECT_EQ(std::vector<std::string>{kNewCopy}, boxes.Texts());
  // No recorded folder: the destination dialog makes its own proposal.
  EXPECT_EQ(std::vector<std::string>{""}, m_world.proposals);
  EXPECT_EQ(1, m_world.closeCalls);

  std::string folder = Folder(m_install);
  std::string text;
  for (const char* name : {"Velmora.exe", "Readme.txt", "Velmora.hlp"}) {
    ASSERT_TRUE(ReadWholeFile(folder + name, &text)) << name;
    EXPECT_EQ(std::string("content of ") + name, text);
  }
  EXPECT_FALSE(FileExists(folder + "Velmora.cnt"));  // missing: skipped
  EXPECT_FALSE(FileExists(folder + "License.rtf"));  // not in the list
  ASSERT_EQ(1u, m_world.started.size());
  EXPECT_EQ("\"" + folder + "Velmora.exe\" /installstep2", m_world.started[0].commandLine);
  EXPECT_EQ(folder, m_world.started[0].folder);

  // The version goes machine-wide only into an existing record key; on a
  // first installation only step 2 records.
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kRecordKey));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kRecordKey));
  EXPECT_EQ(0u, QueryRaw(HKEY_CURRENT_USER, "Software\\Orvane\\Zenvero\\Settings",
                         "CreateDesktopShortcut").Dword());
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

bool IsReadOnly(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

TEST_F(SelfInstallTest, AReadOnlyDistributionInstallsFilesThatAreNotReadOnly) {
  for (const char* name : {"Velmora.exe", "Readme.txt", "Velmora.hlp"})
    ASSERT_TRUE(SetFileAttributesA((m_dist + name).c_str(), FILE_ATTRIBUTE_READONLY)) << name;
  ASSERT_TRUE(IsReadOnly(m_dist + "Readme.txt"));
  m_world.destination = m_install;
  const std::string folder = Folder(m_install);
  // Twice: the second install replaces the files the first one made.
  for (int pass = 0; pass < 2; ++pass) {
    CScriptedBoxes boxes({IDYES});
    EXPECT_EQ(1, Run("/install")) << pass;
    EXPECT_EQ(std::vector<std::string>{pass == 0 ? kNewCopy : boxes.Texts().front()}, boxes.Texts());
    for (const char* name : {"Velmora.exe", "Readme.txt", "Velmora.hlp"}) {
      EXPECT_TRUE(FileExists(folder + name)) << name;
      EXPECT_FALSE(IsReadOnly(folder + name)) << name << " pass " << pass;
    }
  }
  for (const char* name : {"Velmora.exe", "Readme.txt", "Velmora.hlp"})
    SetFileAttributesA((m_dist + name).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(SelfInstallTest, StepOneOverAnOlderVersionProposesItsFolderAndUpdatesTheVersion) {
  WriteMachineRecord("1.10", Folder(m_install));
  CScriptedBoxes boxes({IDYES});
  EXPECT_EQ(1, Run(""));
  EXPECT_EQ(std::vector<std::string>{Folder(m_install)}, m_world.proposals);
  EXPECT_TRUE(FileExists(Folder(m_install) + "Velmora.exe"));
  EXPECT_EQ(kVersion, QueryRaw(HKEY_LOCAL_MACHINE, kRecordKey, "Version").Text().c_str());
}

TEST_F(SelfInstallTest, StepTwoRecordsLinksAndUninstallEntry) {
  // Links of the older folder layout, and a file of the user's beside them.
  std::string oldFolder = ProgramsFolder() + "\\Zenvero";
  CreateDirectoryA(oldFolder.c_str(), nullptr);
  for (const char* name : {"Zenvero.lnk", "Read Me.lnk", "Uninstall Zenvero.lnk"}) {
    WriteWholeFile(oldFolder + "\\" + name, "old link");
  }
  SetRawDword(HKEY_CURRENT_USER, "Software\\Orvane\\Zenvero\\Settings", "CreateDesktopShortcut",
              0);
  CreateDirectoryA((m_root / "Programs").c_str(), nullptr);
  CreateDirectoryA(m_install.c_str(), nullptr);
  WriteWholeFile(Folder(m_install) + "Velmora.exe", std::string(3000, 'x'));
  WriteWholeFile(Folder(m_install) + "Readme.txt", "r");

  CScriptedBoxes boxes({IDYES});
  SYSTEMTIME before, after;
  GetLocalTime(&before);
  EXPECT_EQ(0, RunStep2());
  GetLocalTime(&after);
  EXPECT_TRUE(boxes.m_Boxes.empty());
  EXPECT_TRUE(m_world.started.empty());

  std::string folder = Folder(m_install);
  EXPECT_EQ(folder, QueryRaw(HKEY_LOCAL_MACHINE, kRecordKey, "Directory").Text().c_str());
  EXPECT_EQ(kVersion, QueryRaw(HKEY_LOCAL_MACHINE, kRecordKey, "Version").Text().c_str());
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kRecordKey));
  EXPECT_FALSE(QueryRaw(HKEY_CURRENT_USER, "Software\\Orvane\\Zenvero\\Settings",
                        "CreateDesktopShortcut").exists);

  struct Value {
    const char* name;
    std::string text;
  } values[] = {{kDisplayNameValue, "Orvane Zenvero 1.20"},
                {kUninstallStringValue, "\"" + folder + "Velmora.exe\" /uninstall"},
                {kQuietUninstallStringValue, "\"" + folder + "Velmora.exe\" /uninstall /VERYSILENT"},
                {kDisplayVersionValue, "1.20"},
                {kPublisherValue, "Orvane"},
                {kDisplayIconValue, folder + "Velmora.exe"},
                {kInstallLocationValue, folder}};
  for (const Value& v : values) {
    RawValue raw = QueryRaw(HKEY_LOCAL_MACHINE, kUninstallKey, v.name);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), raw.type) << v.name;
    EXPECT_EQ(v.text, raw.Text().c_str()) << v.name;
  }
  // The local date of the installation (either side of a midnight).
  char day[2][16];
  wsprintfA(day[0], "%04u%02u%02u", before.wYear, before.wMonth, before.wDay);
  wsprintfA(day[1], "%04u%02u%02u", after.wYear, after.wMonth, after.wDay);
  RawValue date = QueryRaw(HKEY_LOCAL_MACHINE, kUninstallKey, kInstallDateValue);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), date.type);
  const std::string dateText = date.Text().c_str();
  EXPECT_TRUE(dateText == day[0] || dateText == day[1]) << dateText;
  EXPECT_EQ(8u, dateText.size());
  // No "About" link: there is no address to give.
  EXPECT_FALSE(QueryRaw(HKEY_LOCAL_MACHINE, kUninstallKey, "URLInfoAbout").exists);
  EXPECT_EQ(4u, QueryRaw(HKEY_LOCAL_MACHINE, kUninstallKey, kEstimatedSizeValue).Dword());  // 3 + 1 KB
  EXPECT_EQ(1u, QueryRaw(HKEY_LOCAL_MACHINE, kUninstallKey, kNoModifyValue).Dword());
  EXPECT_EQ(1u, QueryRaw(HKEY_LOCAL_MACHINE, kUninstallKey, kNoRepairValue).Dword());
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));

  // An installation for the machine: its links are all users'.
  std::string links = CommonFolder("Programs") + "\\" + kTitle + "\\";
  for (const char* name : {"Orvane Zenvero.lnk", "Read Me.lnk", "Uninstall Orvane Zenvero.lnk"}) {
    EXPECT_TRUE(FileExists(links + name)) << name;
  }
  EXPECT_FALSE(FileExists(ProgramsFolder() + "\\" + kTitle));
  EXPECT_FALSE(FileExists(oldFolder));

  // The next plain start from the install folder is an ordinary start.
  EXPECT_EQ(0, Run(""));
  EXPECT_TRUE(boxes.m_Boxes.empty());
}

// A manifest with a desktop link asks once and hands the answer to step 2;
// an existing desktop link counts as yes without a question.
TEST_F(SelfInstallTest, DesktopShortcutChoiceTravelsToStepTwo) {
  // An installation for the machine: all users' desktop.
  std::string link = CommonFolder("Desktop") + "\\Orvane Zenvero.lnk";
  DeleteFileA(link.c_str());
  auto run = [&](const std::string& tail) {
    CInstallManifest manifest = AppInstallManifest(kTitle);
    manifest.AskDesktopShortcut = true;
    manifest.Shortcuts.emplace_back(kTitle, "Velmora.exe", "", 0);
    manifest.Shortcuts.back().ShellFolder = "Desktop";
    manifest.Shortcuts.back().SubFolder = "";
    CSelfInstall installer(manifest);
    return Ended(installer.Run(tail));
  };
  const char* question = "Would you like to add a desktop shortcut to Orvane Zenvero?";
  m_world.destination = m_install;
  struct Case {
    int answer;
    DWORD stored;
  } cases[] = {{IDNO, 0}, {IDYES, 1}};
  for (const Case& c : cases) {
    CScriptedBoxes boxes({IDYES, c.answer});
    EXPECT_EQ(1, run("/install"));
    ASSERT_EQ(2u, boxes.m_Boxes.size());
    EXPECT_EQ(question, boxes.m_Boxes[1].text);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), boxes.m_Boxes[1].type);
    EXPECT_EQ(c.stored, QueryRaw(HKEY_CURRENT_USER, "Software\\Orvane\\Zenvero\\Settings",
                                 "CreateDesktopShortcut").Dword());
  }
  // Step 2 makes the desktop link as asked and forgets the answer.
  m_world.modulePath = Folder(m_install) + "Velmora.exe";
  EXPECT_EQ(0, run("/installstep2"));
  EXPECT_TRUE(FileExists(link));
  EXPECT_FALSE(QueryRaw(HKEY_CURRENT_USER, "Software\\Orvane\\Zenvero\\Settings",
                        "CreateDesktopShortcut").exists);
  // With the link there, no question.
  m_world.modulePath = m_dist + "Velmora.exe";
  CScriptedBoxes boxes({IDYES, IDNO});
  EXPECT_EQ(1, run("/install"));
  EXPECT_EQ(1u, boxes.m_Boxes.size());
  EXPECT_EQ(1u, QueryRaw(HKEY_CURRENT_USER, "Software\\Orvane\\Zenvero\\Settings",
                         "CreateDesktopShortcut").Dword());
  DeleteFileA(link.c_str());
}

TEST_F(SelfInstallTest, StepOneStopsOnEveryRefusal) {
  struct Case {
    const char* what;
    int closeResult;
    bool licenseDeclined;
    bool destinationCancelled;
  } cases[] = {{"closing cancelled", 1, false, false},
               {"licence declined", 0, true, false},
               {"destination cancelled", 0, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m_world.closeResult = c.closeResult;
    m_world.licenseDeclined = c.licenseDeclined;
    m_world.destinationCancelled = c.destinationCancelled;
    m_world.destination = m_install;
    CScriptedBoxes boxes({IDYES});
    EXPECT_EQ(1, Run("/install"));
    EXPECT_EQ(1u, boxes.m_Boxes.size());
    EXPECT_FALSE(FileExists(m_install));
    EXPECT_TRUE(m_world.started.empty());
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Orvane\\Zenvero\\Settings"));
  }
}

TEST_F(SelfInstallTest, CopyAndStartFailuresAreReportedAndLeaveNoRecord) {
  m_world.destination = m_install;
  CreateDirectoryA((m_root / "Programs").c_str(), nullptr);
  CreateDirectoryA(m_install.c_str(), nullptr);
  // A folder in the way of a file cannot be overwritten.
  std::string blocked = Folder(m_install) + "Readme.txt";
  CreateDirectoryA(blocked.c_str(), nullptr);
  {
    CScriptedBoxes boxes({IDYES});
    EXPECT_EQ(1, Run("/install"));
    ASSERT_EQ(2u, boxes.m_Boxes.size());
    EXPECT_EQ(0u, boxes.m_Boxes[1].text.find("Error copying the file Readme.txt.\n\n"))
        << boxes.m_Boxes[1].text;
    EXPECT_GT(boxes.m_Boxes[1].text.size(), strlen("Error copying the file Readme.txt.\n\n"));
    EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), boxes.m_Boxes[1].type & MB_ICONMASK);
    EXPECT_TRUE(m_world.started.empty());
  }
  RemoveDirectoryA(blocked.c_str());

  m_world.startSucceeds = false;
  CScriptedBoxes boxes({IDYES});
  EXPECT_EQ(1, Run("/install"));
  ASSERT_EQ(2u, boxes.m_Boxes.size());
  EXPECT_EQ("Error running the newly installed program.", boxes.m_Boxes[1].text);
  EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), boxes.m_Boxes[1].type);
  EXPECT_TRUE(FileExists(Folder(m_install) + "Velmora.exe"));  // the files stay
  EXPECT_FALSE(QueryRaw(HKEY_LOCAL_MACHINE, kRecordKey, "Version").exists);
  EXPECT_FALSE(QueryRaw(HKEY_CURRENT_USER, kRecordKey, "Version").exists);
}

TEST_F(SelfInstallTest, ChoosingTheRunningFolderInstallsInThisProcess) {
  std::string upper = m_dist;
  for (char& ch : upper) ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
  m_world.destination = upper;
  CScriptedBoxes boxes({IDYES});
  EXPECT_EQ(0, Run("/install"));
  EXPECT_TRUE(m_world.started.empty());
  // Step 2 records the folder the program runs from, as it is spelt.
  EXPECT_EQ(m_dist, QueryRaw(HKEY_LOCAL_MACHINE, kRecordKey, "Directory").Text().c_str());
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

// Machine-wide writes refused: the record is kept per user, the copy's
// record survives step 1, and the next start recognises the installation.
TEST_F(SelfInstallTest, RefusedMachineWritesKeepThePerUserRecord) {
  m_world.machineWritable = false;
  m_world.destination = m_install;
  // The copy runs step 2 in another thread as soon as step 1 starts it, and
  // gets every chance to finish before step 1 goes on: its record must
  // outlive step 1's clearing of the per-user record.
  static DWORD mainThread;
  static std::string copyPath;
  mainThread = GetCurrentThreadId();
  copyPath = Folder(m_install) + "Velmora.exe";
  CInstallerRoutines twoCopies = InstallerRoutines();
  twoCopies.getModulePath = [] {
    return GetCurrentThreadId() == mainThread ? g_world->modulePath : copyPath;
  };
  CHandle copy;
  m_world.onStart = [&](const Started&) {
    copy.Attach(CreateThread(
        nullptr, 0,
        [](void*) -> DWORD {
          CAppSelfInstall installer(kTitle);
          return static_cast<DWORD>(Ended(installer.Run("/installstep2")));
        },
        nullptr, 0, nullptr));
    WaitForSingleObject(copy, 2000);
  };
  CScriptedBoxes boxes({IDYES});
  {
    CScopedRoutines<CInstallerRoutines> scoped(SetInstallerRoutines, twoCopies);
    EXPECT_EQ(1, Run("/install"));
    ASSERT_NE(nullptr, copy.Get());
    WaitForSingleObject(copy, INFINITE);
    copy.Close();
  }

  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kRecordKey));
  EXPECT_EQ(Folder(m_install), QueryRaw(HKEY_CURRENT_USER, kRecordKey, "Directory").Text().c_str());
  EXPECT_EQ(kVersion, QueryRaw(HKEY_CURRENT_USER, kRecordKey, "Version").Text().c_str());
  // No machine-wide entry: the user's own list of programs has it.
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_EQ("\"" + Folder(m_install) + "Velmora.exe\" /uninstall",
            QueryRaw(HKEY_CURRENT_USER, kUninstallKey, kUninstallStringValue).Text().c_str());

  m_world.modulePath = Folder(m_install) + "Velmora.exe";
  CScriptedBoxes later({IDNO});
  EXPECT_EQ(0, Run(""));
  EXPECT_TRUE(later.m_Boxes.empty());
}

TEST(ElevatedMark, ComesOffTheTailWhole) {
  struct Case {
    const char* tail;
    const char* stripped;
    bool marked;
  } cases[] = {
      {"/elevatedcopy /install", "/install", true},
      {"/elevatedcopy /uninstall", "/uninstall", true},
      {"/elevatedcopy", "", true},
      {"/elevatedcopy  a.txt", " a.txt", true},
      {"/install", "/install", false},
      {"/elevatedcopyx", "/elevatedcopyx", false},
      {" /elevatedcopy /install", " /elevatedcopy /install", false},
      {"", "", false},
  };
  for (const Case& c : cases) {
    bool marked = !c.marked;
    EXPECT_EQ(c.stripped, StripElevatedMark(c.tail, marked)) << c.tail;
    EXPECT_EQ(c.marked, marked) << c.tail;
  }
}

TEST_F(SelfInstallTest, ElevationRestartsOrFallsBackToAPerUserInstallation) {
  m_world.needsElevation = true;
  // Elevation granted: the elevated copy takes the run over, nothing asked.
  m_world.elevationResult = 0;
  {
    CScriptedBoxes boxes({IDYES});
    EXPECT_EQ(1, Run("/install"));
    EXPECT_TRUE(boxes.m_Boxes.empty());
    // Marked, so that the elevated copy never starts another.
    EXPECT_EQ(std::vector<std::string>{m_dist + "Velmora.exe|/elevatedcopy /install"},
              m_world.elevatedStarts);
  }
  // The marked copy, still not elevated (UAC off for a standard user), goes
  // on for this user instead of starting the next copy.
  {
    m_world.elevatedStarts.clear();
    m_world.destination = m_install;
    CScriptedBoxes boxes({IDYES});
    EXPECT_EQ(1, Run("/elevatedcopy /install"));
    EXPECT_TRUE(m_world.elevatedStarts.empty());
    EXPECT_EQ(std::vector<std::string>{kNewCopy}, boxes.Texts());
    ASSERT_EQ(1u, m_world.started.size());
    m_world.started.clear();
    m_world.proposals.clear();
    m_world.elevatedStarts = {m_dist + "Velmora.exe|/elevatedcopy /install"};
    RemoveTree(m_install);
    m_world.destination.clear();
  }
  // Neither the ordinary start nor the hand-over asks for elevation.
  WriteMachineRecord(kVersion, m_dist);
  EXPECT_EQ(0, Run(""));
  WriteMachineRecord(kVersion, "C:\\Other\\");
  EXPECT_EQ(1, Run(""));
  EXPECT_EQ(1u, m_world.elevatedStarts.size());
  ClearInstallation();

  // Declined: a per-user installation below the local application data.
  m_world.elevationResult = ERROR_CANCELLED;
  m_world.destination = m_install;
  m_world.started.clear();
  CScriptedBoxes boxes({IDYES});
  EXPECT_EQ(1, Run("/install"));
  EXPECT_EQ(std::vector<std::string>{kNewCopy}, boxes.Texts());
  ASSERT_EQ(1u, m_world.proposals.size());
  std::string proposal = m_world.proposals[0];
  EXPECT_NE(std::string::npos, proposal.find("\\AppData\\Local\\Programs\\Orvane Zenvero"))
      << proposal;
  ASSERT_EQ(1u, m_world.started.size());
  // Step 2 in the unelevated copy keeps everything per user, though the
  // machine-wide keys could be written here.
  EXPECT_EQ(0, RunStep2());
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kRecordKey));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_EQ(Folder(m_install), QueryRaw(HKEY_CURRENT_USER, kRecordKey, "Directory").Text().c_str());
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
  // Its links are the user's own.
  EXPECT_TRUE(FileExists(ProgramsFolder() + "\\" + kTitle + "\\Read Me.lnk"));
  EXPECT_FALSE(FileExists(CommonFolder("Programs") + "\\" + kTitle));

  // Uninstalling a per-user installation needs no elevation.
  m_world.elevatedStarts.clear();
  CScriptedBoxes no({IDNO});
  EXPECT_EQ(1, Run("/uninstall"));
  EXPECT_TRUE(m_world.elevatedStarts.empty());
  // A machine-wide one asks for it before the question.
  WriteMachineRecord(kVersion, Folder(m_install));
  m_world.elevationResult = 0;
  CScriptedBoxes none({IDNO});
  EXPECT_EQ(1, Run("/uninstall"));
  EXPECT_EQ(std::vector<std::string>{Folder(m_install) + "Velmora.exe|/elevatedcopy /uninstall"},
            m_world.elevatedStarts);
  EXPECT_TRUE(none.m_Boxes.empty());
  // Declined there, nothing is removed: half an uninstall would leave the
  // machine-wide entries and the files behind the user's back.
  m_world.elevationResult = ERROR_CANCELLED;
  CScriptedBoxes refused({IDYES});
  EXPECT_EQ(1, Run("/uninstall"));
  ASSERT_EQ(1u, refused.m_Boxes.size());
  EXPECT_EQ("Orvane Zenvero was installed for all users of this computer. Uninstalling it needs "
            "administrator rights.\n\nNothing has been removed.",
            refused.m_Boxes[0].text);
  EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), refused.m_Boxes[0].type);
  EXPECT_EQ("Orvane Zenvero Uninstall", refused.m_Boxes[0].caption);
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kRecordKey));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
  EXPECT_TRUE(FileExists(Folder(m_install) + "Velmora.exe"));
}

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

TEST_F(SelfInstallTest, PendingDeletionInTheFolderRefusesTheInstallation) {
  CPendingOperationsGuard guard;
  CreateDirectoryA((m_root / "Programs").c_str(), nullptr);
  CreateDirectoryA(m_install.c_str(), nullptr);
  std::string file = Folder(m_install) + "Velmora.exe";
  WriteWholeFile(file, "old");
  m_world.destination = m_install;

  // Found in the registry (other letter case, a deletion: empty new name),
  // and in WinInit.Ini by its short path.
  std::string upper = file;
  for (char& ch : upper) ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
  char shortPath[MAX_PATH];
  ASSERT_GT(GetShortPathNameA(file.c_str(), shortPath, MAX_PATH), 0u);
  struct Case {
    const char* where;
    std::string registry;  // multi-string, or empty for none
    std::string winInit;   // WinInit.Ini text, or empty for none
  } cases[] = {
      {"registry", MultiString({"\\??\\C:\\elsewhere\\a.txt", "", "\\??\\" + upper, ""}), ""},
      {"WinInit.Ini", "", "[boot]\r\nx=1\r\n[Rename]\r\nNUL=" + std::string(shortPath) + "\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    if (!c.registry.empty()) guard.SetPending(c.registry);
    if (!c.winInit.empty()) WriteWholeFile(guard.m_strWinInit, c.winInit);
    EXPECT_FALSE(FindPendingDeletionIn(m_install).empty());
    CScriptedBoxes boxes({IDYES});
    EXPECT_EQ(1, Run("/install"));
    ASSERT_EQ(2u, boxes.m_Boxes.size());
    EXPECT_NE(std::string::npos, boxes.m_Boxes[1].text.find("Please restart the computer"))
        << boxes.m_Boxes[1].text;
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), boxes.m_Boxes[1].type);
    std::string text;
    ASSERT_TRUE(ReadWholeFile(file, &text));
    EXPECT_EQ("old", text);  // nothing copied
    EXPECT_TRUE(m_world.started.empty());
    guard.SetPending(MultiString({"\\??\\C:\\elsewhere\\a.txt", ""}));
    DeleteFileA(guard.m_strWinInit.c_str());
  }
  // Pending operations elsewhere, or on a folder that merely starts alike,
  // do not stand in the way.
  guard.SetPending(MultiString({"\\??\\" + Folder(m_install + "x") + "a.txt", ""}));
  EXPECT_EQ("", FindPendingDeletionIn(m_install));
}

TEST_F(SelfInstallTest, UninstallRemovesEverythingAndAsksToRebootForFilesInUse) {
  CPendingOperationsGuard guard;
  // An installation made by step 2, plus a file of the user's elsewhere in
  // the profile that must go with the per-user key.
  CreateDirectoryA((m_root / "Programs").c_str(), nullptr);
  CreateDirectoryA(m_install.c_str(), nullptr);
  std::string folder = Folder(m_install);
  for (const char* name : {"Velmora.exe", "Readme.txt", "Velmora.hlp", "Velmora.cnt", "Velmora.chm",
                           "Velmora.gid", "Velmora.chw", "License.rtf", "setup.exe", "File_id.diz"}) {
    WriteWholeFile(folder + name, name);
  }
  CScriptedBoxes installBoxes({IDYES});
  ASSERT_EQ(0, RunStep2());
  SetRawString(HKEY_CURRENT_USER, "Software\\Orvane\\Zenvero\\Settings", "Tabs", "4");
  // An earlier version left the user's own links too.
  const std::string userLinks = ProgramsFolder() + "\\" + kTitle;
  CreateDirectoryA(userLinks.c_str(), nullptr);
  for (const char* name : {"Orvane Zenvero.lnk", "Read Me.lnk", "Uninstall Orvane Zenvero.lnk"})
    ASSERT_TRUE(WriteWholeFile(userLinks + "\\" + name, "link"));
  ASSERT_TRUE(FileExists(CommonFolder("Programs") + "\\" + kTitle + "\\Read Me.lnk"));

  // No, or no answer at all (the box closed from outside, or it could not
  // be shown): nothing is removed.
  for (int answer : {IDNO, IDCANCEL, 0}) {
    SCOPED_TRACE(answer);
    CScriptedBoxes boxes({answer});
    EXPECT_EQ(1, Run("/uninstall"));
    EXPECT_EQ(std::vector<std::string>{"Are you sure you want to uninstall Orvane Zenvero?"},
              boxes.Texts());
    EXPECT_EQ("Orvane Zenvero Uninstall", boxes.m_Boxes[0].caption);
    EXPECT_TRUE(FileExists(folder + "Velmora.exe"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kRecordKey));
    EXPECT_EQ(0, m_world.closeCalls);
  }
  // Closing cancelled: nothing either.
  m_world.closeResult = 1;
  {
    CScriptedBoxes boxes({IDYES});
    EXPECT_EQ(1, Run("/uninstall"));
    EXPECT_TRUE(FileExists(folder + "Velmora.exe"));
  }
  m_world.closeResult = 0;

  // The program's own file is in use (a running stand-in program here):
  // its deletion is deferred and the reboot question comes.
  CRunningCopy running(COMMAND_RECORDER_EXE, folder + "Velmora.exe");
  ASSERT_TRUE(running.IsRunning());
  DeleteFileA((folder + "recorded.txt").c_str());
  CScriptedBoxes boxes({IDYES});
  EXPECT_EQ(1, Run("/uninstall"));
  running.Stop();
  ASSERT_EQ(2u, boxes.m_Boxes.size());
  EXPECT_EQ("Some of the files could not be deleted because they are in use. Please reboot the "
            "computer to finish uninstalling Orvane Zenvero.\n\nDo you want to reboot the "
            "computer now?",
            boxes.m_Boxes[1].text);
  EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), boxes.m_Boxes[1].type);
  EXPECT_EQ(std::vector<UINT>{EWX_REBOOT}, m_world.exitCalls);

  for (const char* name : {"Readme.txt", "Velmora.hlp", "Velmora.cnt", "Velmora.chm", "Velmora.gid",
                           "Velmora.chw", "License.rtf", "setup.exe", "File_id.diz"}) {
    EXPECT_FALSE(FileExists(folder + name)) << name;
  }
  RawValue pending = QueryRaw(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingFileRenameValue);
  ASSERT_TRUE(pending.exists);
  std::string pendingText(pending.data.begin(), pending.data.end());
  char shortExe[MAX_PATH];
  GetShortPathNameA((folder + "Velmora.exe").c_str(), shortExe, MAX_PATH);
  EXPECT_TRUE(pendingText.find(shortExe) != std::string::npos ||
              pendingText.find(folder + "Velmora.exe") != std::string::npos);
  SetFileAttributesA((folder + "Velmora.exe").c_str(), FILE_ATTRIBUTE_NORMAL);

  // The links go wherever they were: all users' and the user's own.
  EXPECT_FALSE(FileExists(ProgramsFolder() + "\\" + kTitle));
  EXPECT_FALSE(FileExists(CommonFolder("Programs") + "\\" + kTitle));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Orvane"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Orvane"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
  // The framework will not write the profile back at exit: the per-user key
  // stays gone when the program ends.
  ASSERT_NE(nullptr, TestApp().m_pCmdInfo);
  EXPECT_EQ(CCommandLineInfo::AppUnregister, TestApp().m_pCmdInfo->m_nShellCommand);
  TestApp().ExitInstance();
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kAppKey));
}

// The program's whole run for /uninstall, as its entry point makes it: the
// start-up, the uninstall and the end. The per-user key does not come back.
TEST_F(SelfInstallTest, UninstalledSettingsStayGoneWhenTheProgramEnds) {
  CreateDirectoryA((m_root / "Programs").c_str(), nullptr);
  CreateDirectoryA(m_install.c_str(), nullptr);
  WriteWholeFile(Folder(m_install) + "Velmora.exe", "x");
  CScriptedBoxes installBoxes({IDYES});
  ASSERT_EQ(0, RunStep2());
  SetRawString(HKEY_CURRENT_USER, "Software\\Orvane\\Zenvero\\Settings", "Tabs", "4");

  CScriptedBoxes boxes({IDYES});
  // A main window would mean the program went on after the uninstall: it is
  // closed at once, and counted.
  CActivationHook mainWindow(kTitle,
                             [](HWND window) { PostMessageA(window, WM_COMMAND, IDCANCEL, 0); });
  TestApp().m_strCmdLineTail = "/uninstall";
  EXPECT_FALSE(TestApp().InitializeInstance());
  TestApp().ExitInstance();

  EXPECT_EQ(0, mainWindow.m_nCalls);
  EXPECT_EQ(std::vector<std::string>{"Are you sure you want to uninstall Orvane Zenvero?"},
            boxes.Texts());
  EXPECT_FALSE(FileExists(Folder(m_install) + "Velmora.exe"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kAppKey));
}

TEST_F(SelfInstallTest, UninstallDeletesReadOnlyFilesWithoutAskingForARestart) {
  CPendingOperationsGuard guard;  // a deferred deletion must not outlive the test
  CreateDirectoryA((m_root / "Programs").c_str(), nullptr);
  CreateDirectoryA(m_install.c_str(), nullptr);
  const std::string folder = Folder(m_install);
  WriteWholeFile(folder + "Velmora.exe", "x");
  WriteWholeFile(folder + "Readme.txt", "read me");
  ASSERT_TRUE(SetFileAttributesA((folder + "Readme.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  CScriptedBoxes installBoxes({IDYES});
  ASSERT_EQ(0, RunStep2());

  CScriptedBoxes boxes({IDYES});
  EXPECT_EQ(1, Run("/uninstall"));
  EXPECT_EQ(1u, boxes.m_Boxes.size()) << "a restart was asked for";
  EXPECT_FALSE(FileExists(folder + "Readme.txt"));
  EXPECT_FALSE(FileExists(m_install));
}

BOOL WINAPI RefusedMoveFileEx(LPCSTR, LPCSTR, DWORD) {
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

// A standard user's own installation: the program's own file is in use, and
// neither MoveFileExA nor WinInit.Ini takes a deletion at the next start (the
// first needs administrator rights, the second is neither read nor writable
// on the NT family). A copy in the temporary folder finishes once the
// installed copy has ended; where that cannot start, the user is told.
TEST_F(SelfInstallTest, AnUninstallThatCannotDeferFinishesFromATemporaryCopy) {
  CPendingOperationsGuard guard;
  CInstallerRoutines refused = InstallerRoutines();
  refused.moveFileEx = RefusedMoveFileEx;
  refused.winInitFolder = m_root / "no such folder";
  CScopedRoutines<CInstallerRoutines> scoped(SetInstallerRoutines, refused);
  CreateDirectoryA((m_root / "Programs").c_str(), nullptr);
  CreateDirectoryA(m_install.c_str(), nullptr);
  const std::string folder = Folder(m_install);
  WriteWholeFile(folder + "Readme.txt", "read me");
  CScriptedBoxes installBoxes({IDYES});
  ASSERT_EQ(0, RunStep2());

  for (bool startable : {false, true}) {
    SCOPED_TRACE(startable);
    CRunningCopy running(COMMAND_RECORDER_EXE, folder + "Velmora.exe");
    ASSERT_TRUE(running.IsRunning());
    DeleteFileA((folder + "recorded.txt").c_str());
    m_world.started.clear();
    m_world.startSucceeds = startable;
    CScriptedBoxes boxes({IDYES});
    EXPECT_EQ(1, Run("/uninstall"));
    EXPECT_TRUE(m_world.exitCalls.empty());
    EXPECT_FALSE(FileExists(folder + "Readme.txt"));
    ASSERT_EQ(1u, m_world.started.size());
    const std::string& command = m_world.started[0].commandLine;
    const std::string quotedFolder = "\"" + m_install + "\"";
    EXPECT_NE(std::string::npos, command.find("Uninstall-")) << command;
    EXPECT_NE(std::string::npos, command.find(" /finishuninstall " +
                                               std::to_string(GetCurrentProcessId()) + " " +
                                               quotedFolder))
        << command;
    if (!startable) {
      // Nothing could finish it: the box says what is left.
      ASSERT_EQ(2u, boxes.m_Boxes.size());
      EXPECT_NE(std::string::npos, boxes.m_Boxes[1].text.find(folder + "Velmora.exe"))
          << boxes.m_Boxes[1].text;
      EXPECT_TRUE(FileExists(folder + "Velmora.exe"));
      continue;
    }
    EXPECT_EQ(1u, boxes.m_Boxes.size());  // no restart question, nothing to tell
    // The finishing copy, once the installed copy has ended.
    running.Stop();
    const std::string copy = command.substr(1, command.find('"', 1) - 1);
    EXPECT_TRUE(FileExists(copy)) << copy;
    CScriptedBoxes none;
    // Only a copy in the temporary folder does it.
    m_world.modulePath = m_dist + "Velmora.exe";
    EXPECT_EQ(1, Run("/finishuninstall 0 " + quotedFolder));
    EXPECT_TRUE(FileExists(folder + "Velmora.exe"));
    m_world.modulePath = copy;
    EXPECT_EQ(1, Run("/finishuninstall 0 " + quotedFolder));
    EXPECT_TRUE(none.m_Boxes.empty());
    EXPECT_FALSE(FileExists(folder + "Velmora.exe"));
    EXPECT_FALSE(FileExists(m_install)) << "the folder was left";
    DeleteFileA(copy.c_str());
  }
  m_world.startSucceeds = true;
}

TEST_F(SelfInstallTest, UninstallWithNothingInUseAsksNoRebootAndKeepsOtherKeys) {
  CreateDirectoryA((m_root / "Programs").c_str(), nullptr);
  CreateDirectoryA(m_install.c_str(), nullptr);
  std::string folder = Folder(m_install);
  WriteWholeFile(folder + "Velmora.exe", "x");
  WriteWholeFile(folder + "notes.txt", "the user's");
  CScriptedBoxes installBoxes({IDYES});
  ASSERT_EQ(0, RunStep2());
  SetRawString(HKEY_CURRENT_USER, "Software\\Orvane\\Other", "Keep", "1");

  CScriptedBoxes boxes({IDYES});
  EXPECT_EQ(1, Run("/uninstall"));
  EXPECT_EQ(1u, boxes.m_Boxes.size());
  EXPECT_TRUE(m_world.exitCalls.empty());
  EXPECT_FALSE(FileExists(folder + "Velmora.exe"));
  // A folder with the user's file in it stays, with the file.
  EXPECT_TRUE(FileExists(folder + "notes.txt"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kAppKey));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Orvane\\Other"));
}

// A program that cannot tell its own location (a path too long for the
// system's buffer) must not take the file names as relative to the current
// folder: the files of those names there are not its own.
TEST_F(SelfInstallTest, UninstallWithoutItsOwnLocationDeletesNoFiles) {
  CTempDir current;
  CCurrentDirectoryKeeper keeper;
  ASSERT_TRUE(SetCurrentDirectoryA(current.GetPath().c_str()));
  for (const char* name : {"Readme.txt", "Velmora.exe", "setup.exe", "License.rtf"}) {
    WriteWholeFile(current / name, "someone else's");
  }
  WriteMachineRecord(kVersion, m_dist);
  m_world.modulePath = "";
  CScriptedBoxes boxes({IDYES});
  EXPECT_EQ(1, Run("/uninstall"));
  EXPECT_EQ(1u, boxes.m_Boxes.size());  // no reboot question
  for (const char* name : {"Readme.txt", "Velmora.exe", "setup.exe", "License.rtf"}) {
    EXPECT_TRUE(FileExists(current / name)) << name;
  }
  // The registry entries go all the same.
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Orvane"));
}

TEST_F(SelfInstallTest, InstallWithoutItsOwnLocationStopsBeforeTheLicence) {
  m_world.modulePath = "";
  CScriptedBoxes boxes({IDYES, IDOK});
  EXPECT_EQ(1, Run("/install"));
  ASSERT_EQ(2u, boxes.m_Boxes.size());
  EXPECT_EQ("Setup cannot tell which folder it was started from, because the folder's path is too "
            "long.\n\nPlease move the files of Orvane Zenvero to a folder with a shorter path and "
            "start setup again.",
            boxes.m_Boxes[1].text);
  EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), boxes.m_Boxes[1].type);
  EXPECT_TRUE(m_world.proposals.empty());
  EXPECT_TRUE(m_world.started.empty());
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kRecordKey));
}

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

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(SelfInstallJobTest, ASilentInstallAsksNothingAndHandsTheJobToStepTwo) {
  for (const char* quiet : {"/VERYSILENT", "/silent"}) {
    SCOPED_TRACE(quiet);
    ClearInstallation();
    RemoveTree(m_install);
    DeleteFileA(m_log.c_str());
    m_world = World{};
    m_world.modulePath = m_dist + "Velmora.exe";
    m_world.waitedExitCode = 0;
    CScriptedBoxes boxes;
    const JobResult job = RunJob(std::string("/install ") + quiet + " /DIR=\"" + m_install + "\"" + LogSwitch());
    EXPECT_EQ(1, job.result);
    EXPECT_EQ(InstallExitCode::kDone, job.exitCode);
    EXPECT_TRUE(boxes.m_Boxes.empty()) << boxes.Texts().front();
    EXPECT_EQ(0, m_world.licenseCalls);
    EXPECT_TRUE(m_world.proposals.empty());  // no destination dialog
    EXPECT_EQ(1, m_world.closeCalls);
    const std::string folder = Folder(m_install);
    for (const char* name : {"Velmora.exe", "Readme.txt", "Velmora.hlp"})
      EXPECT_TRUE(FileExists(folder + name)) << name;
    // Step 2 gets the job and is waited for; nothing else starts.
    ASSERT_EQ(1u, m_world.started.size());
    EXPECT_TRUE(m_world.started[0].waited);
    const std::string shown = std::string(quiet) == "/silent" ? " /SILENT" : " /VERYSILENT";
    EXPECT_EQ("\"" + folder + "Velmora.exe\" /installstep2" + shown + " /DIR=\"" + m_install + "\"" +
                  LogSwitch(),
              m_world.started[0].commandLine);
    EXPECT_EQ(folder, m_world.started[0].folder);
    // The desktop question's answer is No; step 1 leaves the record to step 2.
    EXPECT_EQ(0u, QueryRaw(HKEY_CURRENT_USER, "Software\\Orvane\\Zenvero\\Settings",
                           "CreateDesktopShortcut").Dword());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kRecordKey));
    const std::string log = Log();
    EXPECT_TRUE(Has(log, "Licence agreement: accepted by whoever runs the silent installation")) << log;
    EXPECT_TRUE(Has(log, "Copy Velmora.exe to " + folder + "Velmora.exe: done")) << log;
    EXPECT_TRUE(Has(log, "Copy Velmora.cnt: not in the distribution, passed over")) << log;
    EXPECT_TRUE(Has(log, "Exit code 0: done")) << log;
  }
}

// Every stop of step 1 in each kind of job: interactive with a log only,
// /SILENT and /VERYSILENT. The user's No is "cancelled"; a silent job that
// cannot go on has failed.
TEST_F(SelfInstallJobTest, EachStopOfAJobEndsWithItsCode) {
  enum Stop { kCloseRefused, kLicenceDeclined, kDestinationCancelled, kRootFolder, kStepTwoFails,
              kStepTwoCrashes };
  struct Case {
    Stop stop;
    const char* quiet;
    InstallExitCode code;
    size_t boxes;  // shown
  } cases[] = {
      {kCloseRefused, "", InstallExitCode::kCancelled, 1},
      {kCloseRefused, " /SILENT", InstallExitCode::kFailed, 0},
      {kCloseRefused, " /VERYSILENT", InstallExitCode::kFailed, 0},
      {kLicenceDeclined, "", InstallExitCode::kCancelled, 1},
      {kLicenceDeclined, " /VERYSILENT", InstallExitCode::kDone, 0},  // not asked
      {kDestinationCancelled, "", InstallExitCode::kCancelled, 1},
      {kDestinationCancelled, " /VERYSILENT", InstallExitCode::kDone, 0},  // not shown
      {kRootFolder, " /SILENT", InstallExitCode::kFailed, 0},
      {kRootFolder, " /VERYSILENT", InstallExitCode::kFailed, 0},
      {kStepTwoFails, "", InstallExitCode::kFailed, 2},
      {kStepTwoFails, " /VERYSILENT", InstallExitCode::kFailed, 0},
      {kStepTwoCrashes, " /VERYSILENT", InstallExitCode::kFailed, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.stop) + c.quiet);
    ClearInstallation();
    RemoveTree(m_install);
    m_world = World{};
    m_world.modulePath = m_dist + "Velmora.exe";
    m_world.closeResult = c.stop == kCloseRefused ? 1 : 0;
    m_world.licenseDeclined = c.stop == kLicenceDeclined;
    m_world.destinationCancelled = c.stop == kDestinationCancelled;
    m_world.startSucceeds = c.stop != kStepTwoFails;
    m_world.waitedExitCode = c.stop == kStepTwoCrashes ? 0xC0000005 : 0;
    m_world.destination = m_install;
    const std::string dir = c.stop == kRootFolder ? "C:\\" : m_install;
    CScriptedBoxes boxes(IDYES);
    const JobResult job = RunJob(std::string("/install") + c.quiet + " /DIR=\"" + dir + "\"" + LogSwitch());
    EXPECT_EQ(1, job.result);
    EXPECT_EQ(c.code, job.exitCode);
    EXPECT_EQ(c.boxes, boxes.m_Boxes.size());
    if (c.code != InstallExitCode::kDone) {
      // Nothing is left of a job that did not finish: not the files it
      // copied, not the folder it made.
      EXPECT_FALSE(FileExists(m_install)) << m_install;
      EXPECT_FALSE(FileExists("C:\\Velmora.exe"));
    }
  }
  const std::string log = Log();
  EXPECT_TRUE(Has(log, "Install folder C:\\: refused (the root of a drive)")) << log;
  EXPECT_TRUE(Has(log, "Close running copies: failed (a running copy did not close)")) << log;
  EXPECT_TRUE(Has(log, "Remove the folder " + m_install + ": done")) << log;
  EXPECT_TRUE(Has(log, "Exit code 2: cancelled")) << log;
}

// A copy that fails halfway takes back the files that were not there before;
// one it replaced stays replaced.
TEST_F(SelfInstallJobTest, AFailedCopyTakesBackWhatItAdded) {
  CreateDirectoryA((m_root / "Programs").c_str(), nullptr);
  CreateDirectoryA(m_install.c_str(), nullptr);
  const std::string folder = Folder(m_install);
  WriteWholeFile(folder + "Readme.txt", "an older Readme");
  CreateDirectoryA((folder + "Velmora.hlp").c_str(), nullptr);  // cannot be copied over
  CScriptedBoxes boxes;
  const JobResult job = RunJob("/install /VERYSILENT /DIR=\"" + m_install + "\"" + LogSwitch());
  EXPECT_EQ(InstallExitCode::kFailed, job.exitCode);
  EXPECT_TRUE(boxes.m_Boxes.empty());
  EXPECT_FALSE(FileExists(folder + "Velmora.exe"));
  std::string readme;
  ASSERT_TRUE(ReadWholeFile(folder + "Readme.txt", &readme));
  EXPECT_EQ("content of Readme.txt", readme);
  EXPECT_TRUE(m_world.started.empty());
  const std::string log = Log();
  EXPECT_TRUE(Has(log, "Copy Velmora.hlp to " + folder + "Velmora.hlp: failed (error ")) << log;
  EXPECT_TRUE(Has(log, "Message: Error copying the file Velmora.hlp.")) << log;
  EXPECT_TRUE(Has(log, "Remove " + folder + "Velmora.exe: done")) << log;
  RemoveDirectoryA((folder + "Velmora.hlp").c_str());
}

TEST_F(SelfInstallJobTest, ScopeSwitchesChooseWhoTheInstallationIsFor) {
  CScriptedBoxes boxes;
  // Not elevated, no scope: for this user, without the system's prompt.
  m_world.needsElevation = true;
  JobResult job = RunJob("/install /VERYSILENT" + LogSwitch());
  EXPECT_EQ(InstallExitCode::kDone, job.exitCode) << Log();
  EXPECT_TRUE(m_world.elevatedStarts.empty());
  ASSERT_EQ(1u, m_world.started.size());
  EXPECT_TRUE(Has(m_world.started[0].commandLine, "/installstep2 /VERYSILENT /CURRENTUSER"))
      << m_world.started[0].commandLine;
  EXPECT_TRUE(Has(m_world.started[0].folder, "\\AppData\\Local\\Programs\\Orvane Zenvero"))
      << m_world.started[0].folder;
  RemoveTree(m_world.started[0].folder);

  // Nor into the folder of an installation for all users.
  m_world.started.clear();
  WriteMachineRecord("1.10", "C:\\Program Files\\Orvane Zenvero\\");
  job = RunJob("/install /VERYSILENT /CURRENTUSER");
  ASSERT_EQ(1u, m_world.started.size());
  EXPECT_TRUE(Has(m_world.started[0].folder, "\\AppData\\Local\\Programs\\Orvane Zenvero"))
      << m_world.started[0].folder;
  RemoveTree(m_world.started[0].folder);
  ClearInstallation();

  // For all users: the elevated copy gets the job and its code is the job's.
  for (DWORD code : {0ul, 3010ul, 1ul, 0xC0000005ul}) {
    m_world.elevatedStarts.clear();
    m_world.started.clear();
    m_world.elevationResult = 0;
    m_world.elevatedExitCode = code;
    job = RunJob("/install /ALLUSERS /VERYSILENT" + LogSwitch());
    EXPECT_EQ(code == 0xC0000005ul ? 1 : static_cast<int>(code), static_cast<int>(job.exitCode));
    EXPECT_EQ(std::vector<std::string>{m_dist + "Velmora.exe|/elevatedcopy /install /VERYSILENT "
                                                "/ALLUSERS" + LogSwitch()},
              m_world.elevatedStarts);
    EXPECT_TRUE(m_world.elevatedWaited);
    EXPECT_TRUE(m_world.started.empty());
  }
  // Declined: cancelled, nothing done. Still not elevated in the elevated
  // copy (UAC off for a standard user): failed, and no further copy.
  m_world.elevationResult = ERROR_CANCELLED;
  job = RunJob("/install /ALLUSERS /VERYSILENT");
  EXPECT_EQ(InstallExitCode::kCancelled, job.exitCode);
  m_world.elevatedStarts.clear();
  job = RunJob("/elevatedcopy /install /ALLUSERS /VERYSILENT");
  EXPECT_EQ(InstallExitCode::kFailed, job.exitCode);
  EXPECT_TRUE(m_world.elevatedStarts.empty());
  EXPECT_TRUE(m_world.started.empty());
  EXPECT_TRUE(m_world.proposals.empty());
  EXPECT_TRUE(boxes.m_Boxes.empty());

  // Elevated already, /CURRENTUSER: step 2 keeps everything per user.
  m_world.needsElevation = false;
  m_world.modulePath = Folder(m_install) + "Velmora.exe";
  CreateDirectoryA((m_root / "Programs").c_str(), nullptr);
  CreateDirectoryA(m_install.c_str(), nullptr);
  job = RunJob("/installstep2 /VERYSILENT /CURRENTUSER" + LogSwitch());
  EXPECT_EQ(1, job.result);  // no main window
  EXPECT_EQ(InstallExitCode::kDone, job.exitCode);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kRecordKey));
  EXPECT_EQ(Folder(m_install), QueryRaw(HKEY_CURRENT_USER, kRecordKey, "Directory").Text().c_str());
  EXPECT_EQ("\"" + Folder(m_install) + "Velmora.exe\" /uninstall /VERYSILENT",
            QueryRaw(HKEY_CURRENT_USER, kUninstallKey, kQuietUninstallStringValue).Text().c_str());
  EXPECT_TRUE(FileExists(ProgramsFolder() + "\\" + kTitle + "\\Read Me.lnk"));
  const std::string log = Log();
  EXPECT_TRUE(Has(log, "Create the link " + ProgramsFolder() + "\\" + kTitle + "\\Read Me.lnk: done"))
      << log;
  EXPECT_TRUE(Has(log, "Write the uninstall entry HKCU\\")) << log;
  EXPECT_TRUE(Has(log, "Write the installation record HKCU\\" + std::string(kRecordKey) + ": done"))
      << log;
}

TEST_F(SelfInstallJobTest, ASilentUninstallAsksNothingAndSaysARestartFinishesIt) {
  CPendingOperationsGuard guard;
  CreateDirectoryA((m_root / "Programs").c_str(), nullptr);
  CreateDirectoryA(m_install.c_str(), nullptr);
  const std::string folder = Folder(m_install);
  for (const char* name : {"Velmora.exe", "Readme.txt", "Velmora.hlp"}) WriteWholeFile(folder + name, name);
  ASSERT_EQ(0, RunStep2());
  CScriptedBoxes boxes;
  // Started from any other folder (the unpacked distribution), a job removes
  // nothing: nobody is asked whether these are the files to go.
  m_world.modulePath = m_dist + "Velmora.exe";
  JobResult job = RunJob("/uninstall /VERYSILENT" + LogSwitch());
  EXPECT_EQ(InstallExitCode::kFailed, job.exitCode);
  EXPECT_TRUE(FileExists(m_dist + "Velmora.exe"));
  EXPECT_TRUE(FileExists(m_dist + "License.rtf"));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_TRUE(Has(Log(), "Message: Orvane Zenvero is not installed in " + m_dist + ", but in " + folder))
      << Log();
  m_world.modulePath = folder + "Velmora.exe";
  // A copy that does not close: nothing is removed.
  m_world.closeResult = 1;
  job = RunJob("/uninstall /VERYSILENT" + LogSwitch());
  EXPECT_EQ(InstallExitCode::kFailed, job.exitCode);
  EXPECT_TRUE(FileExists(folder + "Readme.txt"));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  m_world.closeResult = 0;

  // The program's own file in use: put off to the next start, no question,
  // no restart, and the code says a restart finishes it.
  {
    CRunningCopy running(COMMAND_RECORDER_EXE, folder + "Velmora.exe");
    ASSERT_TRUE(running.IsRunning());
    job = RunJob("/uninstall /VERYSILENT" + LogSwitch());
    running.Stop();
  }
  EXPECT_EQ(1, job.result);
  EXPECT_EQ(InstallExitCode::kRestartNeeded, job.exitCode);
  EXPECT_TRUE(boxes.m_Boxes.empty());
  EXPECT_TRUE(m_world.exitCalls.empty());
  EXPECT_FALSE(FileExists(folder + "Readme.txt"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_FALSE(FileExists(CommonFolder("Programs") + "\\" + kTitle));
  const std::string log = Log();
  EXPECT_TRUE(Has(log, "Delete " + folder + "Velmora.exe: in use, deleted when Windows next starts"))
      << log;
  EXPECT_TRUE(Has(log, "Delete " + folder + "Readme.txt: done")) << log;
  EXPECT_TRUE(Has(log, "Remove the link " + CommonFolder("Programs") + "\\" + kTitle)) << log;
  EXPECT_TRUE(Has(log, "Exit code 3010: done; a restart of Windows finishes it")) << log;
  SetFileAttributesA((folder + "Velmora.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA((folder + "Velmora.exe").c_str());
  DeleteFileA((folder + "recorded.txt").c_str());  // the stand-in's

  // Nothing in use: done. /NORESTART without silence asks only whether to
  // uninstall, never to restart.
  for (const char* name : {"Velmora.exe", "Readme.txt"}) WriteWholeFile(folder + name, name);
  ASSERT_EQ(0, RunStep2());
  job = RunJob("/uninstall /VERYSILENT");
  EXPECT_EQ(InstallExitCode::kDone, job.exitCode);
  EXPECT_FALSE(FileExists(folder));
  CreateDirectoryA(m_install.c_str(), nullptr);
  for (const char* name : {"Velmora.exe", "Readme.txt"}) WriteWholeFile(folder + name, name);
  ASSERT_EQ(0, RunStep2());
  CRunningCopy running(COMMAND_RECORDER_EXE, folder + "Velmora.exe");
  CScriptedBoxes asked(IDYES);
  job = RunJob("/uninstall /NORESTART");
  running.Stop();
  EXPECT_EQ(InstallExitCode::kRestartNeeded, job.exitCode);
  EXPECT_EQ(std::vector<std::string>{"Are you sure you want to uninstall Orvane Zenvero?"},
            asked.Texts());
  EXPECT_TRUE(m_world.exitCalls.empty());
  SetFileAttributesA((folder + "Velmora.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Approved with an administrator's account, the installation is for all
// users, but its first start is the user's who ran setup: this process waits
// for the elevated copy and starts the installed program itself.
TEST_F(SelfInstallJobTest, AnElevatedInstallationStartsTheProgramForTheUserWhoRanSetup) {
  m_world.needsElevation = true;
  m_world.elevationResult = 0;
  m_world.onElevated = [this] { WriteMachineRecord(kVersion, Folder(m_install)); };
  CScriptedBoxes boxes;
  EXPECT_EQ(1, Run("/install"));
  EXPECT_TRUE(m_world.elevatedWaited);
  ASSERT_EQ(1u, m_world.started.size());
  EXPECT_EQ("\"" + Folder(m_install) + "Velmora.exe\"", m_world.started[0].commandLine);
  EXPECT_FALSE(m_world.started[0].waited);
  EXPECT_TRUE(boxes.m_Boxes.empty());
  // Cancelled in the elevated copy: nothing starts.
  m_world.started.clear();
  m_world.elevatedExitCode = static_cast<DWORD>(InstallExitCode::kCancelled);
  EXPECT_EQ(1, Run("/install"));
  EXPECT_TRUE(m_world.started.empty());
  ClearInstallation();

  // The elevated copy waits for its step 2, which records and opens no
  // window; the waiting process starts the program.
  m_world.needsElevation = false;
  m_world.destination = m_install;
  CScriptedBoxes yes(IDYES);
  JobResult job = RunJob("/elevatedcopy /install");
  EXPECT_EQ(1, job.result);
  EXPECT_EQ(InstallExitCode::kDone, job.exitCode);
  ASSERT_EQ(1u, m_world.started.size());
  EXPECT_TRUE(m_world.started[0].waited);
  EXPECT_EQ("\"" + Folder(m_install) + "Velmora.exe\" /elevatedcopy /installstep2",
            m_world.started[0].commandLine);
  m_world.modulePath = Folder(m_install) + "Velmora.exe";
  job = RunJob("/elevatedcopy /installstep2");
  EXPECT_EQ(1, job.result);
  EXPECT_EQ(InstallExitCode::kDone, job.exitCode);
  EXPECT_EQ(Folder(m_install), QueryRaw(HKEY_LOCAL_MACHINE, kRecordKey, "Directory").Text().c_str());
}


TEST(CreateFolderPath, MakesEveryMissingLevel) {
  CTempDir root;
  std::string deep = root / "a\\b/c\\d";
  CreateFolderPath(deep);
  EXPECT_TRUE(GetFileAttributesA(deep.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(deep.c_str()));
  // A file in the way stops the walk; nothing is made beyond it.
  WriteWholeFile(root / "file", "x");
  CreateFolderPath(root / "file\\sub\\deeper\\");
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((root / "file\\sub").c_str()));
}

}  // namespace
