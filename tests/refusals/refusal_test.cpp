// What a standard user may not do to files stays undone: run as an ordinary
// user (scripts/run-as-user), whose scratch folder holds a file and a folder
// of another owner that the user may not write. Run as root nothing is
// refused, and the tests skip.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/convert.h"
#include "engine/replace_file.h"
#include "framework/handle.h"
#include "tests/engine/convert_summary.h"
#include "tests/support/temp_dir.h"

namespace {

std::string Work() {
  const char* work = std::getenv("VELMORA_USER_WORK");
  return work != nullptr ? work : "";
}

std::string Content(const std::string& path) {
  std::string text;
  ReadWholeFile(path, &text);
  return text;
}

class Refusals : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Work().empty()) GTEST_SKIP() << "not run as the ordinary test user (VELMORA_USER_WORK unset)";
    // The precondition: the other owner's file really refuses this user.
    CHandle probe(CreateFileA((Work() + "\\others.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (probe.IsValid()) GTEST_SKIP() << "the other owner's file can be written: run as root?";
  }
};

TEST_F(Refusals, AFileOfAnotherOwnerStaysUnchangedWithTheCopyFailedLine) {
  // The folder is the user's, so a rename over the file would go through;
  // the replacement must not.
  const ConvertResult result = ConvertFileInPlace(Work() + "\\others.txt", TabStopList{8});
  EXPECT_EQ("copy failed: 1 tabs converted", Summary(result));
  EXPECT_EQ("theirs\r\n\tline\r\n", Content(Work() + "\\others.txt"));
  // No converted copy is left beside it.
  EXPECT_FALSE(CFindFile((Work() + "\\orvanezenvero-*.tmp").c_str()).IsValid());
}

TEST_F(Refusals, AFolderOfAnotherOwnerKeepsItsFileWithTheCopyFailedLine) {
  const ConvertResult result = ConvertFileInPlace(Work() + "\\others\\inside.txt", TabStopList{8});
  EXPECT_EQ("copy failed: 1 tabs converted", Summary(result));
  EXPECT_EQ("theirs\r\n\tline\r\n", Content(Work() + "\\others\\inside.txt"));
}

TEST_F(Refusals, AReadOnlyFileOfTheUsersOwnStaysUnchanged) {
  const std::string path = Work() + "\\mine.txt";
  ASSERT_TRUE(WriteWholeFile(path, "\tmine"));
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  const ConvertResult result = ConvertFileInPlace(path, TabStopList{8});
  EXPECT_EQ("copy failed: 1 tabs converted", Summary(result));
  EXPECT_EQ("\tmine", Content(path));
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Refusals, TheUsersOwnFilesConvert) {
  const std::string path = Work() + "\\own.txt";
  ASSERT_TRUE(WriteWholeFile(path, "\town"));
  const ConvertResult result = ConvertFileInPlace(path, TabStopList{8});
  EXPECT_EQ("converted: 1 tabs converted", Summary(result));
  EXPECT_EQ("        own", Content(path));
}

// The installed program starts in its install folder, which a standard user
// may not write: a conversion writes nothing there.
TEST_F(Refusals, AnUnwritableCurrentFolderDoesNotStopTheConversion) {
  const std::string path = Work() + "\\converted in another folder.txt";
  ASSERT_TRUE(WriteWholeFile(path, "a\tb"));
  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA((Work() + "\\others").c_str()));
  // The precondition: nothing may be made there.
  ASSERT_FALSE(CHandle(CreateFileA("probe.tmp", GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr)).IsValid());
  const ConvertResult result = ConvertFileInPlace(path, TabStopList{8});
  SetCurrentDirectoryA(previous);
  EXPECT_EQ("converted: 1 tabs converted", Summary(result));
  EXPECT_EQ("a       b", Content(path));
}

}  // namespace
