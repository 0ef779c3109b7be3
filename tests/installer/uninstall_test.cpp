// Uninstalling: the question, the links, records and files, the restart
// question for files in use, and the copy that finishes from the temporary
// folder.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/installer/self_install_fixture.h"

namespace {

using namespace self_install_test;

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
  // The whole command line: the program's text becomes UTF-8 before the
  // installer reads it, and the tail is taken from it again.
  TestApp().m_strCommandLine = "Velmora.exe /uninstall";
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
    // The copy itself goes once the finisher, which holds it open, has ended.
    EXPECT_TRUE(m_world.started[0].holding);
    EXPECT_TRUE(FileExists(copy)) << copy;
    m_world.held.clear();
    EXPECT_FALSE(FileExists(copy)) << "the finishing copy was left";
  }
  m_world.startSucceeds = true;
}

// The same with the finisher really started (here the stand-in program,
// which records its start and ends at once): its copy in the temporary
// folder is gone once it has ended.
TEST_F(SelfInstallTest, TheFinishingCopyIsGoneOnceItHasEnded) {
  CPendingOperationsGuard guard;
  CInstallerRoutines refused = InstallerRoutines();
  refused.moveFileEx = RefusedMoveFileEx;
  refused.winInitFolder = m_root / "no such folder";
  refused.runHolding = DefaultInstallerRoutines().runHolding;
  CScopedRoutines<CInstallerRoutines> scoped(SetInstallerRoutines, refused);
  CreateDirectoryA((m_root / "Programs").c_str(), nullptr);
  CreateDirectoryA(m_install.c_str(), nullptr);
  const std::string folder = Folder(m_install);
  CScriptedBoxes installBoxes({IDYES});
  ASSERT_EQ(0, RunStep2());
  CRunningCopy running(COMMAND_RECORDER_EXE, folder + "Velmora.exe");
  ASSERT_TRUE(running.IsRunning());
  char temp[MAX_PATH];
  ASSERT_NE(0u, GetTempPathA(MAX_PATH, temp));
  const std::string record = std::string(temp) + "recorded.txt";
  DeleteFileA(record.c_str());

  CScriptedBoxes boxes({IDYES});
  EXPECT_EQ(1, Run("/uninstall"));
  ASSERT_EQ(1u, boxes.m_Boxes.size());  // the question only: the finisher started
  std::string started;
  for (int i = 0; i < 200 && !ReadWholeFile(record, &started); ++i) Sleep(50);
  EXPECT_NE(std::string::npos, started.find(" /finishuninstall ")) << started;
  const std::string copy = started.substr(1, started.find('"', 1) - 1);
  bool gone = false;
  for (int i = 0; i < 200 && !(gone = !FileExists(copy)); ++i) Sleep(50);
  EXPECT_TRUE(gone) << copy << " is still there";
  DeleteFileA(record.c_str());
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

// Folders that hold what an installation put there, for the tests of two
// installations side by side.
void MakeInstalledFolders(const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    CreateFolderPath(folder);
    for (const char* name : {"Velmora.exe", "Readme.txt"}) ASSERT_TRUE(WriteWholeFile(folder + name, name));
  }
}

// The other order: a user's own installation first, then one for all users.
// The machine's records leave the user's own record alone, so that the
// user's uninstall still finds and removes that user's installation.
TEST_F(SelfInstallJobTest, AnInstallationForAllUsersKeepsAUsersOwnRecord) {
  CScriptedBoxes boxes;
  const std::string machineFolder = Folder(m_install);
  const std::string userFolder = Folder(m_root / "User");
  ASSERT_NO_FATAL_FAILURE(MakeInstalledFolders({machineFolder, userFolder}));
  m_world.modulePath = userFolder + "Velmora.exe";
  ASSERT_EQ(InstallExitCode::kDone, RunJob("/installstep2 /VERYSILENT /CURRENTUSER").exitCode);
  m_world.modulePath = machineFolder + "Velmora.exe";
  ASSERT_EQ(InstallExitCode::kDone, RunJob("/installstep2 /VERYSILENT").exitCode);
  EXPECT_EQ(userFolder, QueryRaw(HKEY_CURRENT_USER, kRecordKey, "Directory").Text().c_str());
  EXPECT_EQ(machineFolder, QueryRaw(HKEY_LOCAL_MACHINE, kRecordKey, "Directory").Text().c_str());

  m_world.needsElevation = true;
  m_world.modulePath = userFolder + "Velmora.exe";
  const JobResult job = RunJob("/uninstall /VERYSILENT" + LogSwitch());
  EXPECT_EQ(InstallExitCode::kDone, job.exitCode) << Log();
  EXPECT_FALSE(FileExists(userFolder + "Velmora.exe"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kRecordKey));
  EXPECT_TRUE(FileExists(machineFolder + "Velmora.exe"));
  EXPECT_EQ(machineFolder, QueryRaw(HKEY_LOCAL_MACHINE, kRecordKey, "Directory").Text().c_str());
}

// An installation for one user beside one for all users: each one's quiet
// uninstall removes its own files, record, entry and links, and only those;
// the user's own never asks for elevation.
TEST_F(SelfInstallJobTest, EachScopesUninstallRemovesOnlyItsOwnInstallation) {
  CScriptedBoxes boxes;
  const std::string machineFolder = Folder(m_install);
  const std::string userFolder = Folder(m_root / "User");
  ASSERT_NO_FATAL_FAILURE(MakeInstalledFolders({machineFolder, userFolder}));
  const std::string userLinks = ProgramsFolder() + "\\" + kTitle;
  const std::string machineLinks = CommonFolder("Programs") + "\\" + kTitle;
  auto installForUser = [&] {
    m_world.modulePath = userFolder + "Velmora.exe";
    ASSERT_EQ(InstallExitCode::kDone, RunJob("/installstep2 /VERYSILENT /CURRENTUSER").exitCode);
  };
  m_world.modulePath = machineFolder + "Velmora.exe";
  ASSERT_EQ(InstallExitCode::kDone, RunJob("/installstep2 /VERYSILENT").exitCode);
  installForUser();
  ASSERT_EQ(machineFolder, QueryRaw(HKEY_LOCAL_MACHINE, kRecordKey, "Directory").Text().c_str());
  ASSERT_EQ(userFolder, QueryRaw(HKEY_CURRENT_USER, kRecordKey, "Directory").Text().c_str());
  ASSERT_TRUE(FileExists(userLinks + "\\Read Me.lnk"));
  ASSERT_TRUE(FileExists(machineLinks + "\\Read Me.lnk"));

  // The user's own, by a standard user: no elevation, and the machine's
  // installation untouched.
  m_world.needsElevation = true;
  m_world.modulePath = userFolder + "Velmora.exe";
  JobResult job = RunJob("/uninstall /VERYSILENT" + LogSwitch());
  EXPECT_EQ(InstallExitCode::kDone, job.exitCode) << Log();
  EXPECT_TRUE(m_world.elevatedStarts.empty());
  EXPECT_FALSE(FileExists(userFolder + "Velmora.exe"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kRecordKey));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
  EXPECT_FALSE(FileExists(userLinks));
  EXPECT_TRUE(FileExists(machineFolder + "Velmora.exe"));
  EXPECT_EQ(machineFolder, QueryRaw(HKEY_LOCAL_MACHINE, kRecordKey, "Directory").Text().c_str());
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_TRUE(FileExists(machineLinks + "\\Read Me.lnk"));

  // The machine's, elevated: the user's own installation untouched.
  m_world.needsElevation = false;
  CreateFolderPath(userFolder);
  for (const char* name : {"Velmora.exe", "Readme.txt"}) ASSERT_TRUE(WriteWholeFile(userFolder + name, name));
  installForUser();
  m_world.modulePath = machineFolder + "Velmora.exe";
  job = RunJob("/uninstall /VERYSILENT" + LogSwitch());
  EXPECT_EQ(InstallExitCode::kDone, job.exitCode) << Log();
  EXPECT_FALSE(FileExists(machineFolder + "Velmora.exe"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kRecordKey));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_FALSE(FileExists(machineLinks));
  EXPECT_TRUE(FileExists(userFolder + "Velmora.exe"));
  EXPECT_EQ(userFolder, QueryRaw(HKEY_CURRENT_USER, kRecordKey, "Directory").Text().c_str());
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
  EXPECT_TRUE(FileExists(userLinks + "\\Read Me.lnk"));
  EXPECT_TRUE(boxes.m_Boxes.empty());
}

}  // namespace
