// Installing: the program's manifest, the check against the record, step 1
// (the refusals, the folder, the desktop question, the copy, the start of
// step 2) and step 2 (the record, the links, the uninstall entry).
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/installer/self_install_fixture.h"

namespace {

using namespace self_install_test;

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

// CopyFile as on NTFS, where a file's streams go with it: Wine keeps no
// streams, and takes "name:Zone.Identifier" for a file of that name beside
// it, which stands for the stream here.
BOOL WINAPI CopyWithStreams(LPCSTR existing, LPCSTR newName, BOOL failIfExists) {
  if (!CopyFileA(existing, newName, failIfExists)) return FALSE;
  const std::string stream = ":Zone.Identifier";
  if (FileExists(existing + stream)) CopyFileA((existing + stream).c_str(), (newName + stream).c_str(), FALSE);
  return TRUE;
}

TEST_F(SelfInstallTest, InstalledCopiesCarryNoZoneMarkOfTheDownload) {
  const char* const names[] = {"Velmora.exe", "Readme.txt", "Velmora.hlp"};
  for (const char* name : names)
    ASSERT_TRUE(WriteWholeFile(m_dist + name + ":Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\n")) << name;
  CInstallerRoutines routines = InstallerRoutines();
  routines.copyFile = CopyWithStreams;
  CScopedRoutines<CInstallerRoutines> streams(SetInstallerRoutines, routines);
  m_world.destination = m_install;
  CScriptedBoxes boxes({IDYES});
  EXPECT_EQ(1, Run("/install"));
  const std::string folder = Folder(m_install);
  for (const char* name : names) {
    EXPECT_TRUE(FileExists(folder + name)) << name;
    EXPECT_FALSE(FileExists(folder + name + ":Zone.Identifier")) << name;
    EXPECT_TRUE(FileExists(m_dist + name + ":Zone.Identifier")) << name;  // the download keeps its own
  }
}

// For all users the folders the installation makes get permissions of their
// own (only administrators and the system may change them); for one user
// they keep what they inherit.
TEST_F(SelfInstallTest, FoldersMadeForAllUsersGetTheirOwnPermissions) {
  m_world.destination = m_install;
  {
    CScriptedBoxes boxes({IDYES});
    EXPECT_EQ(1, Run("/install"));
  }
  EXPECT_EQ((std::vector<std::string>{m_root / "Programs", m_install}), m_world.securedFolders);
  EXPECT_TRUE(FileExists(Folder(m_install) + "Velmora.exe"));
  RemoveTree(m_root / "Programs");

  // Declined elevation: for this user, nothing changed.
  m_world.securedFolders.clear();
  m_world.needsElevation = true;
  {
    CScriptedBoxes boxes({IDYES});
    EXPECT_EQ(1, Run("/install"));
  }
  EXPECT_TRUE(m_world.securedFolders.empty());
  EXPECT_TRUE(FileExists(Folder(m_install) + "Velmora.exe"));
}

// An existing folder that others may change, or a junction on the way to
// it, is refused for all users with a message, and nothing is copied; an
// installation for one user may go there. The same for a folder that others
// may rename, or one above it, and a folder on another computer.
TEST_F(SelfInstallTest, AFolderOthersMayChangeOrAJunctionIsRefusedForAllUsers) {
  CreateFolderPath(m_install);
  m_world.destination = m_install;
  const std::string changeable = "Orvane Zenvero cannot be installed for all users in " + m_install +
                                 ", because users other than administrators may change the files in that "
                                 "folder.\n\nPlease choose another folder, such as one in Program Files.";
  const std::string junction = "Orvane Zenvero cannot be installed for all users in " + m_install + ", because " +
                               (m_root / "Programs") +
                               " is a link to another place (a junction or symbolic link).\n\nPlease choose "
                               "another folder, such as one in Program Files.";
  const std::string movable = "Orvane Zenvero cannot be installed for all users in " + m_install +
                              ", because users other than administrators may rename that folder or one above it "
                              "and put another in its place.\n\nPlease choose another folder, such as one in "
                              "Program Files.";
  const std::string network = "Orvane Zenvero cannot be installed for all users in " + m_install +
                              ", because it is a folder on another computer (a network share).\n\nPlease choose "
                              "another folder, such as one in Program Files.";
  const struct {
    std::vector<std::string> changeableByOthers, reparsePoints, movableByOthers, networkPaths;
    std::string message;
  } cases[] = {
      {{m_install}, {}, {}, {}, changeable},
      {{}, {m_root / "Programs"}, {}, {}, junction},
      {{}, {}, {m_install}, {}, movable},
      {{}, {}, {}, {m_install}, network},
  };
  for (const auto& c : cases) {
    m_world.changeableByOthers = c.changeableByOthers;
    m_world.reparsePoints = c.reparsePoints;
    m_world.movableByOthers = c.movableByOthers;
    m_world.networkPaths = c.networkPaths;
    CScriptedBoxes boxes({IDYES});
    EXPECT_EQ(1, Run("/install"));
    EXPECT_EQ((std::vector<std::string>{kNewCopy, c.message}), boxes.Texts());
    EXPECT_FALSE(FileExists(Folder(m_install) + "Velmora.exe"));
    EXPECT_TRUE(m_world.started.empty());
  }
  // For this user alone: installed.
  m_world.needsElevation = true;
  CScriptedBoxes boxes({IDYES});
  EXPECT_EQ(1, Run("/install"));
  EXPECT_TRUE(FileExists(Folder(m_install) + "Velmora.exe"));
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
