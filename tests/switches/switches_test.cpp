// The switches an administrator gives after "/install" or "/uninstall": what
// each tail means, and which tails are no job at all (they then keep their
// old meaning, a file name for the source box included).
#include <gtest/gtest.h>

#include <string>

#include "installer/switches.h"

namespace {

struct Case {
  const char* tail;
  bool job;  // "/install" followed by switches alone
  InstallUi ui;
  InstallScope scope;
  bool noRestart;
  const char* dir;
  const char* log;
};

const InstallUi kFull = InstallUi::kFull;
const InstallUi kProgress = InstallUi::kProgressOnly;
const InstallUi kNone = InstallUi::kNone;
const InstallScope kAny = InstallScope::kDefault;
const InstallScope kUser = InstallScope::kCurrentUser;
const InstallScope kAll = InstallScope::kAllUsers;

TEST(InstallSwitches, ReadsEachTail) {
  const Case cases[] = {
      {"/install /VERYSILENT", true, kNone, kAny, false, "", ""},
      {"/install /verysilent", true, kNone, kAny, false, "", ""},
      {"/install /Silent", true, kProgress, kAny, false, "", ""},
      {"/install /SILENT /VERYSILENT", true, kNone, kAny, false, "", ""},
      {"/install /VERYSILENT /SILENT", true, kNone, kAny, false, "", ""},
      {"/install /CURRENTUSER", true, kFull, kUser, false, "", ""},
      {"/install /allusers", true, kFull, kAll, false, "", ""},
      {"/install /ALLUSERS /CURRENTUSER", true, kFull, kUser, false, "", ""},
      {"/install /NORESTART", true, kFull, kAny, true, "", ""},
      {"/install\t/VERYSILENT", true, kNone, kAny, false, "", ""},
      {"/install   /VERYSILENT   ", true, kNone, kAny, false, "", ""},
      // Quoting of the values: around the value, around the whole switch,
      // a folder that ends with a backslash, blanks inside.
      {"/install /DIR=\"C:\\Program Files\\Orvane Zenvero\"", true, kFull, kAny, false,
       "C:\\Program Files\\Orvane Zenvero", ""},
      {"/install \"/DIR=C:\\My Tools\\\" /SILENT", true, kProgress, kAny, false, "C:\\My Tools\\", ""},
      {"/install /dir=C:\\Tools /DIR=D:\\Later", true, kFull, kAny, false, "D:\\Later", ""},
      {"/install /LOG=\"C:\\Users\\a b\\setup log.txt\" /VERYSILENT /NORESTART /CURRENTUSER "
       "/DIR=C:\\T",
       true, kNone, kUser, true, "C:\\T", "C:\\Users\\a b\\setup log.txt"},
      {"/install /Log=relative.txt", true, kFull, kAny, false, "", "relative.txt"},
      // No job: no switch at all, an unknown one, a value missing, a quote
      // left open, a file name that merely starts with a slash, the mode in
      // another case or run together with what follows.
      {"/install", false, kFull, kAny, false, "", ""},
      {"/install ", false, kFull, kAny, false, "", ""},
      {"/install /QUIET", false, kFull, kAny, false, "", ""},
      {"/install /VERYSILENT /FOO", false, kFull, kAny, false, "", ""},
      {"/install /DIR=", false, kFull, kAny, false, "", ""},
      {"/install /DIR", false, kFull, kAny, false, "", ""},
      {"/install /DIR=\"C:\\Open", false, kFull, kAny, false, "", ""},
      {"/install /silent.txt", false, kFull, kAny, false, "", ""},
      {"/install notes.txt", false, kFull, kAny, false, "", ""},
      {"/INSTALL /VERYSILENT", false, kFull, kAny, false, "", ""},
      {"/install/VERYSILENT", false, kFull, kAny, false, "", ""},
      {"/installstep2 /VERYSILENT", false, kFull, kAny, false, "", ""},
      {"/VERYSILENT", false, kFull, kAny, false, "", ""},
      {" /install /VERYSILENT", false, kFull, kAny, false, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tail);
    CInstallSwitches switches;
    const bool job = ParseModeWithSwitches(c.tail, "/install", switches) && switches.any;
    EXPECT_EQ(c.job, job);
    if (!job) continue;
    EXPECT_EQ(c.ui, switches.ui);
    EXPECT_EQ(c.scope, switches.scope);
    EXPECT_EQ(c.noRestart, switches.noRestart);
    EXPECT_EQ(c.dir, switches.installFolder);
    EXPECT_EQ(c.log, switches.log);
  }
}

TEST(InstallSwitches, ModesAreTheirOwnWords) {
  CInstallSwitches switches;
  EXPECT_TRUE(ParseModeWithSwitches("/uninstall /VERYSILENT", "/uninstall", switches));
  EXPECT_EQ(InstallUi::kNone, switches.ui);
  CInstallSwitches step2;
  EXPECT_TRUE(ParseModeWithSwitches("/installstep2 /SILENT", "/installstep2", step2));
  EXPECT_EQ(InstallUi::kProgressOnly, step2.ui);
  CInstallSwitches none;
  EXPECT_FALSE(ParseModeWithSwitches("/uninstall /VERYSILENT", "/install", none));
  EXPECT_FALSE(none.any);
}

TEST(InstallSwitches, AFailedReadLeavesTheSwitchesAlone) {
  CInstallSwitches switches;
  switches.installFolder = "C:\\Kept";
  EXPECT_FALSE(ParseInstallSwitches("/VERYSILENT /DIR=C:\\New /BAD", switches));
  EXPECT_EQ("C:\\Kept", switches.installFolder);
  EXPECT_EQ(InstallUi::kFull, switches.ui);
  EXPECT_FALSE(switches.any);
}

// What a copy is given reads back as the same job.
TEST(InstallSwitches, FormattedSwitchesReadBack) {
  CInstallSwitches switches;
  switches.any = true;
  switches.ui = InstallUi::kProgressOnly;
  switches.scope = InstallScope::kAllUsers;
  switches.noRestart = true;
  switches.installFolder = "C:\\Program Files\\Orvane Zenvero\\";
  switches.log = "C:\\logs\\setup log.txt";
  const std::string text = FormatInstallSwitches(switches);
  EXPECT_EQ(" /SILENT /ALLUSERS /NORESTART /DIR=\"C:\\Program Files\\Orvane Zenvero\\\" "
            "/LOG=\"C:\\logs\\setup log.txt\"",
            text);
  CInstallSwitches read;
  ASSERT_TRUE(ParseModeWithSwitches("/installstep2" + text, "/installstep2", read));
  EXPECT_TRUE(read.any);
  EXPECT_EQ(switches.ui, read.ui);
  EXPECT_EQ(switches.scope, read.scope);
  EXPECT_EQ(switches.noRestart, read.noRestart);
  EXPECT_EQ(switches.installFolder, read.installFolder);
  EXPECT_EQ(switches.log, read.log);
  EXPECT_EQ("", FormatInstallSwitches(CInstallSwitches()));
}

}  // namespace
