// A job run with switches for an administrator's tools: how quiet it is,
// its log, the scope switches and the exit code of every stop.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/installer/self_install_fixture.h"

namespace {

using namespace self_install_test;

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

// A silent job for all users into a folder others may change: code 1, logged.
TEST_F(SelfInstallJobTest, ASilentJobForAllUsersRefusesAFolderOthersMayChange) {
  CreateFolderPath(m_install);
  m_world.changeableByOthers = {m_install};
  CScriptedBoxes boxes;
  const JobResult job = RunJob("/install /VERYSILENT /DIR=\"" + m_install + "\"" + LogSwitch());
  EXPECT_EQ(InstallExitCode::kFailed, job.exitCode);
  EXPECT_TRUE(boxes.m_Boxes.empty());
  EXPECT_FALSE(FileExists(Folder(m_install) + "Velmora.exe"));
  EXPECT_TRUE(Has(Log(), "Install folder " + m_install +
                             ": refused for all users (users other than administrators may change the files in "
                             "that folder)"))
      << Log();
  EXPECT_TRUE(Has(Log(), "Exit code 1: failed")) << Log();
}

// A log whose lines a link could lead elsewhere (a junction on its path, a
// file with another name) is refused before anything is written or done:
// the message (none when silent) and code 1.
TEST_F(SelfInstallJobTest, ALogALinkCouldLeadElsewhereIsRefused) {
  const std::string other = m_root / "another file.txt";
  const std::string logFolder = m_root / "logs";
  const std::string log = logFolder + "\\setup.log";
  ASSERT_TRUE(CreateDirectoryA(logFolder.c_str(), nullptr));
  const struct {
    const char* what;
    bool junction, hardLink, silent;
    std::string reason;
  } cases[] = {
      {"a junction on its path", true, false, false,
       logFolder + " is a link to another place (a junction or symbolic link)"},
      {"a file with another name", false, true, false,
       "that file is not a plain file of one name (a link, a folder, or a file with other names)"},
      {"the same, silent", false, true, true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA(log.c_str());
    ASSERT_TRUE(WriteWholeFile(other, "someone else's"));
    if (c.hardLink) {
      ASSERT_TRUE(CreateHardLinkA(log.c_str(), other.c_str(), nullptr));
    }
    m_world.reparsePoints = c.junction ? std::vector<std::string>{logFolder} : std::vector<std::string>{};
    CScriptedBoxes boxes({IDOK});
    const JobResult job = RunJob(std::string("/install ") + (c.silent ? "/VERYSILENT " : "") + "/DIR=\"" + m_install +
                                 "\" /LOG=\"" + log + "\"");
    EXPECT_EQ(InstallExitCode::kFailed, job.exitCode);
    if (c.silent) {
      EXPECT_TRUE(boxes.m_Boxes.empty());
    } else {
      EXPECT_EQ(std::vector<std::string>{"Orvane Zenvero cannot write its log to " + log + ", because " + c.reason +
                                         ".\n\nPlease name another file for /LOG."},
                boxes.Texts());
    }
    std::string text;
    EXPECT_TRUE(ReadWholeFile(other, &text));
    EXPECT_EQ("someone else's", text);
    EXPECT_EQ(c.hardLink, FileExists(log));
    EXPECT_FALSE(FileExists(Folder(m_install) + "Velmora.exe"));
    EXPECT_TRUE(m_world.started.empty());
  }
}

// /CURRENTUSER run as LocalSystem would install into the system account's
// profile, which no user sees: refused, code 1, logged.
TEST_F(SelfInstallJobTest, ForTheCurrentUserAsTheSystemAccountIsRefused) {
  m_world.localSystem = true;
  CScriptedBoxes boxes;
  const JobResult job = RunJob("/install /VERYSILENT /CURRENTUSER" + LogSwitch());
  EXPECT_EQ(InstallExitCode::kFailed, job.exitCode);
  EXPECT_TRUE(m_world.started.empty());
  EXPECT_TRUE(m_world.proposals.empty());
  EXPECT_TRUE(boxes.m_Boxes.empty());
  EXPECT_TRUE(Has(Log(),
                  "Message: Orvane Zenvero cannot be installed for the current user by the system account "
                  "(LocalSystem)"))
      << Log();
  EXPECT_TRUE(Has(Log(), "Exit code 1: failed")) << Log();
  // For all users it goes on.
  m_world.elevationResult = 0;
  EXPECT_EQ(InstallExitCode::kDone, RunJob("/install /VERYSILENT /ALLUSERS").exitCode);
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
  // A folder and a log on a mapped network drive go to the elevated copy
  // as UNC paths: the drive letter is the unelevated logon's alone.
  m_world.elevatedStarts.clear();
  m_world.elevatedExitCode = 0;
  m_world.universal = {{"Z:\\Tools\\Orvane Zenvero", "\\\\server\\share\\Tools\\Orvane Zenvero"},
                       {"Z:\\logs\\setup.log", "\\\\server\\share\\logs\\setup.log"}};
  job = RunJob("/install /ALLUSERS /VERYSILENT /DIR=\"Z:\\Tools\\Orvane Zenvero\" /LOG=\"Z:\\logs\\setup.log\"");
  EXPECT_EQ(std::vector<std::string>{m_dist + "Velmora.exe|/elevatedcopy /install /VERYSILENT /ALLUSERS "
                                              "/DIR=\"\\\\server\\share\\Tools\\Orvane Zenvero\" "
                                              "/LOG=\"\\\\server\\share\\logs\\setup.log\""},
            m_world.elevatedStarts);
  m_world.universal.clear();
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

}  // namespace
