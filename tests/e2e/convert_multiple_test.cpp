// Convert Multiple Files from outside: a pattern typed into the pattern box,
// the results dialog read and answered, the files and the pattern history
// checked afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "framework/handle.h"
#include "tests/e2e/program_fixture.h"
#include "tests/settings/registry_probe.h"

namespace {

std::vector<std::string> KeysOf(const std::map<std::string, std::string>& map) {
  std::vector<std::string> keys;
  for (const auto& entry : map) keys.push_back(entry.first);
  return keys;
}

constexpr int kPattern = 1015, kConvertMultiple = 3, kReport = 1017;

class ConvertMultipleCommand : public ProgramTest {
 protected:
  // Waits for the results dialog and returns its report's lines, sorted (the
  // directory search gives no order); `results` receives the dialog.
  std::vector<std::string> ReportLines(HWND* results) {
    *results = m_app.WaitForWindow({"Convert Multiple Files", "#32770"});
    if (*results == nullptr) {
      ADD_FAILURE() << "no results dialog";
      return {};
    }
    EXPECT_EQ(m_hMain, GetWindow(*results, GW_OWNER));
    EXPECT_FALSE(IsWindowEnabled(m_hMain));
    std::string report = GetControlText(*results, kReport);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = report.find("\r\n", start)) != std::string::npos; start = end + 2)
      lines.push_back(report.substr(start, end - start));
    EXPECT_EQ(report.size(), start) << "the report's last line has no line end: " << report;
    std::sort(lines.begin(), lines.end());
    return lines;
  }
  void CloseResults(HWND results, int button) {
    ASSERT_TRUE(PressButton(results, button));
    ASSERT_TRUE(WaitForWindowGone(results));
  }
};

TEST_F(ConvertMultipleCommand, ConvertsEveryMatchInPlaceAndReportsEachFile) {
  ASSERT_TRUE(WriteWholeFile(WorkFile("one.txt"), "\ta"));
  ASSERT_TRUE(WriteWholeFile(WorkFile("two.txt"), "a\tb\tc"));
  ASSERT_TRUE(WriteWholeFile(WorkFile("three.txt"), "plain"));
  ASSERT_TRUE(WriteWholeFile(WorkFile("keep.dat"), "\tdat"));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  const std::string pattern = WorkFile("*.txt");
  ASSERT_NO_FATAL_FAILURE(Type(kPattern, pattern));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertMultiple));

  HWND results = nullptr;
  EXPECT_EQ((std::vector<std::string>{WorkFile("one.txt") + ": 1 tabs converted",
                                      WorkFile("three.txt") + ": 0 tabs converted",
                                      WorkFile("two.txt") + ": 2 tabs converted"}),
            ReportLines(&results));
  ASSERT_NE(nullptr, results);
  EXPECT_EQ("        a", ReadWorkFile("one.txt"));
  EXPECT_EQ("a       b       c", ReadWorkFile("two.txt"));
  EXPECT_EQ("plain", ReadWorkFile("three.txt"));
  EXPECT_EQ("\tdat", ReadWorkFile("keep.dat"));
  // Nothing is left in the program's current folder or beside the files.
  EXPECT_FALSE(FileExists(WorkFile("orvanezenvero.tmp")));
  EXPECT_EQ("8", Setting("Tabs"));
  EXPECT_EQ(1, SettingNumber("MultipleFilesNum"));
  EXPECT_EQ(pattern, Setting("MultipleFiles1"));

  // Yes: back to the main window, with the pattern on top of its history.
  ASSERT_NO_FATAL_FAILURE(CloseResults(results, IDOK));
  ASSERT_NO_FATAL_FAILURE(ExpectMainWindowBack());
  EXPECT_EQ(pattern, GetControlText(m_hMain, kPattern));
  EXPECT_EQ(std::vector<std::string>{pattern}, GetComboItems(GetDlgItem(m_hMain, kPattern)));

  // Again: nothing left to replace; No ends the program.
  ASSERT_NO_FATAL_FAILURE(Press(kConvertMultiple));
  EXPECT_EQ((std::vector<std::string>{WorkFile("one.txt") + ": 0 tabs converted",
                                      WorkFile("three.txt") + ": 0 tabs converted",
                                      WorkFile("two.txt") + ": 0 tabs converted"}),
            ReportLines(&results));
  ASSERT_NE(nullptr, results);
  ASSERT_NO_FATAL_FAILURE(CloseResults(results, IDCANCEL));
  ASSERT_NO_FATAL_FAILURE(ExpectProgramEnds());
  EXPECT_EQ("        a", ReadWorkFile("one.txt"));
}

TEST_F(ConvertMultipleCommand, FilesThatCannotBeWrittenOrReadKeepTheirTabs) {
  ASSERT_TRUE(WriteWholeFile(WorkFile("good.txt"), "\tg"));
  ASSERT_TRUE(WriteWholeFile(WorkFile("readonly.txt"), "\tr"));
  ASSERT_TRUE(SetFileAttributesA(WorkFile("readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(WriteWholeFile(WorkFile("locked.txt"), "\tl"));
  CHandle writer(CreateFileA(WorkFile("locked.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(INVALID_HANDLE_VALUE, writer.Get());
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  // A relative pattern is looked up in the program's current folder.
  ASSERT_NO_FATAL_FAILURE(Type(kPattern, "*.txt"));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertMultiple));

  HWND results = nullptr;
  EXPECT_EQ((std::vector<std::string>{
                WorkFile("good.txt") + ": 1 tabs converted",
                WorkFile("locked.txt") + ": Error converting file: A sharing violation occurred while accessing " +
                    WorkFile("locked.txt") + ".",
                WorkFile("readonly.txt") + ": 1 tabs converted - Copy failed. Tabs not converted."}),
            ReportLines(&results));
  writer.Close();
  ASSERT_NE(nullptr, results);
  EXPECT_EQ("        g", ReadWorkFile("good.txt"));
  EXPECT_EQ("\tr", ReadWorkFile("readonly.txt"));
  EXPECT_EQ("\tl", ReadWorkFile("locked.txt"));
  ASSERT_NO_FATAL_FAILURE(CloseResults(results, IDCANCEL));
  ASSERT_NO_FATAL_FAILURE(ExpectProgramEnds());
  EXPECT_EQ("*.txt", Setting("MultipleFiles1"));
}

TEST_F(ConvertMultipleCommand, StarDotStarGivesEveryEntryALineAndFoldersTheirFailure) {
  ASSERT_TRUE(CreateDirectoryA(WorkFile("texts").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(WorkFile("texts\\sub").c_str(), nullptr));
  ASSERT_TRUE(WriteWholeFile(WorkFile("texts\\a.txt"), "\ta"));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(Type(kPattern, "texts\\*.*"));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertMultiple));

  HWND results = nullptr;
  const std::vector<std::string> lines = ReportLines(&results);
  ASSERT_NE(nullptr, results);
  const std::string folder = WorkFile("texts") + "\\";
  // Entry name -> outcome.
  std::map<std::string, std::string> outcomes;
  for (const std::string& line : lines) {
    ASSERT_EQ(folder, line.substr(0, folder.size())) << line;
    const size_t colon = line.find(": ", folder.size());
    ASSERT_NE(std::string::npos, colon) << line;
    outcomes[line.substr(folder.size(), colon - folder.size())] = line.substr(colon + 2);
  }
  ASSERT_EQ((std::vector<std::string>{".", "..", "a.txt", "sub"}), KeysOf(outcomes));
  EXPECT_EQ("1 tabs converted", outcomes["a.txt"]);
  // The folder itself, its parent and the subfolder cannot be opened as files.
  for (const char* entry : {".", "..", "sub"}) {
    const std::string& outcome = outcomes[entry];
    EXPECT_EQ(0u, outcome.find("Error converting file: ")) << outcome;
    EXPECT_NE(std::string::npos, outcome.find(folder + entry)) << outcome;
  }
  EXPECT_EQ("        a", ReadWorkFile("texts\\a.txt"));
  ASSERT_NO_FATAL_FAILURE(CloseResults(results, IDOK));
  ASSERT_NO_FATAL_FAILURE(ExpectMainWindowBack());
}

TEST_F(ConvertMultipleCommand, RefusesAnEmptyPatternAndOneThatMatchesNothing) {
  ASSERT_TRUE(WriteWholeFile(WorkFile("a.txt"), "\ta"));
  SetRawDword(HKEY_CURRENT_USER, kSettingsPath, "MultipleFilesNum", 2);
  SetRawString(HKEY_CURRENT_USER, kSettingsPath, "MultipleFiles1", "*.zzz");
  SetRawString(HKEY_CURRENT_USER, kSettingsPath, "MultipleFiles2", "*.txt");
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  EXPECT_EQ("*.zzz", GetControlText(m_hMain, kPattern));

  ASSERT_NO_FATAL_FAILURE(Type(kPattern, ""));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertMultiple));
  ASSERT_NO_FATAL_FAILURE(ExpectNotice(
      "Please enter the source file names. Use the wildcard characters * and ? to specify the files to convert. "
      "For example: *.txt.",
      kPattern));
  EXPECT_FALSE(HasSetting("Tabs"));

  const char kNothing[] = "No files were converted. Check the source files path.";
  // The remembered pattern that matches nothing leaves its history; the box
  // keeps it.
  ASSERT_NO_FATAL_FAILURE(Type(kPattern, "*.zzz"));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertMultiple));
  ASSERT_NO_FATAL_FAILURE(ExpectNotice(kNothing, kPattern));
  EXPECT_EQ("*.zzz", GetControlText(m_hMain, kPattern));
  EXPECT_EQ(std::vector<std::string>{"*.txt"}, GetComboItems(GetDlgItem(m_hMain, kPattern)));
  EXPECT_EQ("*.txt", Setting("MultipleFiles1"));
  EXPECT_FALSE(HasSetting("MultipleFiles2"));
  EXPECT_EQ(10, SettingNumber("MultipleFilesNum"));
  EXPECT_EQ("8", Setting("Tabs"));

  ASSERT_NO_FATAL_FAILURE(Type(kPattern, "no folder\\*.txt"));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertMultiple));
  ASSERT_NO_FATAL_FAILURE(ExpectNotice(kNothing, kPattern));
  EXPECT_EQ("\ta", ReadWorkFile("a.txt"));
  EXPECT_FALSE(FileExists(WorkFile("orvanezenvero.tmp")));
}

}  // namespace
