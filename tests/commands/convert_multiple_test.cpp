// Convert Multiple Files: the pattern check, the report, the intermediate
// file, the results dialog, the histories, and a copy back that never spoils
// the file it replaces.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "app/history.h"
#include "app_base/settings.h"
#include "framework/handle.h"
#include "resources/resource.h"
#include "tests/commands/commands_test.h"

namespace {

using Names = std::vector<std::string>;

const char kTabbed[] = "\tone\r\ntwo\t3\r\n";  // 2 tabs
const char kExpanded[] = "        one\r\ntwo     3\r\n";

// The report's lines, sorted (the directory search decides their order).
Names SortedLines(const std::string& report) {
  Names lines;
  size_t start = 0;
  for (size_t end; (end = report.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(report.substr(start, end - start));
  EXPECT_EQ(report.size(), start) << "the report does not end with a line end";
  std::sort(lines.begin(), lines.end());
  return lines;
}

Names Sorted(Names names) {
  std::sort(names.begin(), names.end());
  return names;
}

// The names in a folder, without the dot entries.
Names FolderContent(const std::string& folder) {
  Names names;
  for (const WIN32_FIND_DATAA& found : CFindFile((folder + "\\*").c_str())) {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  }
  return Sorted(names);
}

class ConvertMultipleFiles : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    // Nothing may be written to the current folder: a folder of its own.
    m_pHere.reset(new CCurrentDirectory(m_Work.GetPath()));
    m_Folder = m_Dir.GetPath();
  }
  void TearDown() override {
    m_pHere.reset();
    CommandTest::TearDown();
  }
  // Presses the button with the pattern; the results dialog, if it comes, is
  // answered with `answer`. Returns the report it showed ("" if none).
  std::string Run(const std::string& pattern, int answer = IDOK) {
    SetText(IDC_MAIN_PATTERN, pattern);
    std::string report;
    // The hook knows the results dialog by its caption.
    CActivationHook hook("Convert Multiple Files", [&](HWND results) {
      report = CWnd(GetDlgItem(results, IDC_MULTIPLE_REPORT)).GetWindowText();
      m_bOwnedByMain = GetWindow(results, GW_OWNER) == m_Dlg.m_hWnd;
      PostMessageA(results, WM_COMMAND, answer, 0);
    });
    Press(IDC_MAIN_CONVERT_MULTIPLE);
    m_nResultsShown = hook.m_nCalls;
    return report;
  }
  std::string Line(const std::string& name, const std::string& outcome) const {
    return m_Folder + "\\" + name + ": " + outcome;
  }

  CTempDir m_Work;
  std::unique_ptr<CCurrentDirectory> m_pHere;
  std::string m_Folder;
  int m_nResultsShown = 0;
  bool m_bOwnedByMain = false;
};

TEST_F(ConvertMultipleFiles, ConvertsEachMatchInPlaceAndShowsTheReport) {
  ASSERT_TRUE(WriteWholeFile(m_Dir / "a.txt", kTabbed));
  ASSERT_TRUE(WriteWholeFile(m_Dir / "b.txt", "no tabs\r\n"));
  ASSERT_TRUE(WriteWholeFile(m_Dir / "c.txt", "\t\t\t"));
  ASSERT_TRUE(WriteWholeFile(m_Dir / "d.dat", kTabbed));
  SetText(IDC_MAIN_TABS, "8");
  CScriptedBoxes boxes;
  const std::string report = Run(m_Dir / "*.txt", IDOK);

  EXPECT_EQ(1, m_nResultsShown);
  EXPECT_TRUE(m_bOwnedByMain);
  EXPECT_EQ((Names{Line("a.txt", "2 tabs converted"), Line("b.txt", "0 tabs converted"),
                   Line("c.txt", "3 tabs converted")}),
            SortedLines(report));
  EXPECT_EQ(kExpanded, Content(m_Dir / "a.txt"));
  EXPECT_EQ("no tabs\r\n", Content(m_Dir / "b.txt"));
  EXPECT_EQ(std::string(24, ' '), Content(m_Dir / "c.txt"));
  EXPECT_EQ(kTabbed, Content(m_Dir / "d.dat"));
  // No stray copies beside the files, and nothing in the current folder.
  EXPECT_EQ((Names{"a.txt", "b.txt", "c.txt", "d.dat"}), FolderContent(m_Folder));
  EXPECT_EQ(Names{}, FolderContent(m_Work.GetPath()));
  EXPECT_TRUE(boxes.m_Boxes.empty());
  // Yes: the window stays with the pattern on top of its history.
  EXPECT_TRUE(IsOpen());
  EXPECT_EQ(Names{m_Dir / "*.txt"}, List(IDC_MAIN_PATTERN));
  EXPECT_EQ(m_Dir / "*.txt", Text(IDC_MAIN_PATTERN));
  EXPECT_EQ("8", GetSettingString("Settings", "Tabs", ""));
}

// Set by the thread timer of the test below when it runs while the long
// file is in hand.
bool g_bTimerWithinTheFile = false;
std::string g_strCopies;

void CALLBACK SeeWhetherTheFileIsInHand(HWND, UINT, UINT_PTR, DWORD) {
  if (CFindFile(g_strCopies.c_str()).IsValid()) g_bTimerWithinTheFile = true;
}

TEST_F(ConvertMultipleFiles, TheWindowsAnswerWhileALongFileIsConverted) {
  // One long file (64 MB, read and converted in about a tenth of a second
  // here, then flushed): a timer of this thread, every 10 ms, is served
  // while the file is in hand (its converted copy is there). Were the queue
  // looked at between files only, it would be served only before the file
  // and after the run.
  const std::string line = std::string(60, 'x') + "\tend\r\n";
  std::string text;
  uint64_t lines = 0;
  for (; text.size() < 64 * 1024 * 1024; ++lines) text += line;
  ASSERT_TRUE(WriteWholeFile(m_Dir / "long.txt", text));
  text = std::string();
  g_strCopies = m_Dir / "orvanezenvero-*.tmp";
  g_bTimerWithinTheFile = false;
  const UINT_PTR timer = SetTimer(nullptr, 0, 10, SeeWhetherTheFileIsInHand);
  ASSERT_NE(0u, timer);
  const std::string report = Run(m_Dir / "*.txt");
  KillTimer(nullptr, timer);
  EXPECT_TRUE(g_bTimerWithinTheFile) << "nothing was served while the file was in hand";
  EXPECT_EQ(Line("long.txt", TabsConvertedText(lines)) + "\r\n", report);
}

TEST_F(ConvertMultipleFiles, APatternWithoutWildcardsAndARelativeOneConvertTheirFiles) {
  ASSERT_TRUE(WriteWholeFile(m_Dir / "one.txt", kTabbed));
  ASSERT_TRUE(WriteWholeFile(m_Dir / "two.txt", kTabbed));
  EXPECT_EQ(Line("one.txt", "2 tabs converted") + "\r\n", Run(m_Dir / "one.txt"));
  EXPECT_EQ(kExpanded, Content(m_Dir / "one.txt"));
  EXPECT_EQ(kTabbed, Content(m_Dir / "two.txt"));

  // Relative to the current folder.
  CCurrentDirectory there(m_Folder);
  EXPECT_EQ(Line("two.txt", "2 tabs converted") + "\r\n", Run("tw?.txt"));
  EXPECT_EQ(kExpanded, Content(m_Dir / "two.txt"));
}

TEST_F(ConvertMultipleFiles, NothingMatchedOrNoPatternIsRefused) {
  ASSERT_TRUE(WriteWholeFile(m_Dir / "a.txt", kTabbed));
  const struct Case {
    const char* name;
    std::string pattern;
    std::string message;
    UINT type;
    Names history;  // after the refusal
  } cases[] = {
      {"empty pattern", "",
       "Please enter the source file names. Use the wildcard characters * and ? to specify the files to convert. "
       "For example: *.txt.",
       kRefusal, {"x.doc", m_Dir / "*.zip", m_Dir / "nowhere\\*.txt"}},
      {"no match", m_Dir / "*.zip", "No files were converted. Check the source files path.", kNotice,
       {"x.doc", m_Dir / "nowhere\\*.txt"}},
      {"missing folder", m_Dir / "nowhere\\*.txt", "No files were converted. Check the source files path.",
       kNotice, {"x.doc", m_Dir / "*.zip"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteSettingInt("Settings", "MultipleFilesNum", 3);
    WriteSettingString("Settings", "MultipleFiles1", "x.doc");
    WriteSettingString("Settings", "MultipleFiles2", (m_Dir / "*.zip").c_str());
    WriteSettingString("Settings", "MultipleFiles3", (m_Dir / "nowhere\\*.txt").c_str());
    LoadHistory(CComboBox(GetDlgItem(m_Dlg, IDC_MAIN_PATTERN)), "MultipleFiles", false);
    SetFocus(GetDlgItem(m_Dlg, IDC_MAIN_TABS));
    CScriptedBoxes boxes;
    EXPECT_EQ("", Run(c.pattern));
    EXPECT_EQ(0, m_nResultsShown);
    ASSERT_EQ(1u, boxes.m_Boxes.size());
    EXPECT_EQ(c.message, boxes.m_Boxes[0].text);
    EXPECT_EQ(c.type, boxes.m_Boxes[0].type);
    EXPECT_TRUE(HasFocus(IDC_MAIN_PATTERN));
    EXPECT_EQ(c.pattern, Text(IDC_MAIN_PATTERN));
    EXPECT_EQ(Sorted(c.history), Sorted(List(IDC_MAIN_PATTERN)));
    EXPECT_TRUE(IsOpen());
  }
  EXPECT_EQ(kTabbed, Content(m_Dir / "a.txt"));
}

TEST_F(ConvertMultipleFiles, FilesThatCannotBeConvertedOrReplacedKeepTheirContent) {
  ASSERT_TRUE(WriteWholeFile(m_Dir / "fine.txt", kTabbed));
  ASSERT_TRUE(WriteWholeFile(m_Dir / "readonly.txt", kTabbed));
  ASSERT_TRUE(WriteWholeFile(m_Dir / "held.txt", kTabbed));
  ASSERT_TRUE(CreateDirectoryA((m_Dir / "sub").c_str(), nullptr));
  ASSERT_TRUE(SetFileAttributesA((m_Dir / "readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  CHandle writer(CreateFileA((m_Dir / "held.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(INVALID_HANDLE_VALUE, writer.Get());

  const std::string report = Run(m_Dir / "*.*", IDCANCEL);
  writer.Close();

  const Names lines = SortedLines(report);
  ASSERT_EQ(6u, lines.size()) << report;
  // The dot entries and the folder cannot be opened as files.
  Names files;
  for (const std::string& line : lines) {
    bool folderLine = false;
    for (const char* folder : {".", "..", "sub"}) {
      const std::string start = m_Folder + "\\" + folder + ": Error converting file: ";
      if (line.compare(0, start.size(), start) == 0) folderLine = true;
    }
    if (!folderLine) files.push_back(line);
  }
  ASSERT_EQ(3u, files.size()) << report;
  EXPECT_EQ((Names{Line("fine.txt", "2 tabs converted"),
                   Line("held.txt", "Error converting file: A sharing violation occurred while accessing " +
                                        m_Folder + "\\held.txt."),
                   Line("readonly.txt", "2 tabs converted - Copy failed. Tabs not converted.")}),
            files);
  EXPECT_EQ(kExpanded, Content(m_Dir / "fine.txt"));
  EXPECT_EQ(kTabbed, Content(m_Dir / "held.txt"));
  EXPECT_EQ(kTabbed, Content(m_Dir / "readonly.txt"));
  EXPECT_TRUE(GetFileAttributesA((m_Dir / "readonly.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ((Names{"fine.txt", "held.txt", "readonly.txt", "sub"}), FolderContent(m_Folder));

  // No: the program ends, with the pattern in its history.
  EXPECT_FALSE(IsOpen());
  EXPECT_EQ(IDCANCEL, m_Dlg.m_nModalResult);
  EXPECT_EQ(m_Dir / "*.*", GetSettingString("Settings", "MultipleFiles1", ""));
}

// The tiny disks that the test fixture mounts, as Wine reaches them; empty
// when there are none.
std::string MountedDisk(const char* name, const char* mark) {
  std::string path = "Z:" + std::string(VELMORA_SMALL_DISK);
  std::replace(path.begin(), path.end(), '/', '\\');
  if (GetFileAttributesA((path + "\\" + mark).c_str()) == INVALID_FILE_ATTRIBUTES) return {};
  return path + "\\" + name;
}

TEST_F(ConvertMultipleFiles, ACurrentFolderThatCannotBeWrittenChangesNothing) {
  // The installed program starts in its folder under Program Files, which a
  // standard user cannot write: nothing may need to be written there.
  const std::string readOnly = MountedDisk("ro", "ro-mounted");
  if (readOnly.empty())
    GTEST_SKIP() << "no read-only tmpfs is mounted at " << VELMORA_SMALL_DISK
                 << "/ro (mounting needs root), so the unwritable current folder cannot be made";
  ASSERT_FALSE(WriteWholeFile(readOnly + "\\probe.txt", "x")) << "the folder can be written";
  CCurrentDirectory there(readOnly);
  ASSERT_TRUE(WriteWholeFile(m_Dir / "a.txt", kTabbed));
  ASSERT_TRUE(WriteWholeFile(m_Dir / "b.txt", "\tb"));
  EXPECT_EQ((Names{Line("a.txt", "2 tabs converted"), Line("b.txt", "1 tabs converted")}),
            SortedLines(Run(m_Dir / "*.txt")));
  EXPECT_EQ(kExpanded, Content(m_Dir / "a.txt"));
  EXPECT_EQ(std::string(8, ' ') + "b", Content(m_Dir / "b.txt"));
  EXPECT_EQ((Names{"a.txt", "b.txt"}), FolderContent(m_Folder));
}

TEST_F(ConvertMultipleFiles, AFolderThatCannotBeWrittenKeepsItsFilesWithTheCopyFailedLine) {
  const std::string readOnly = MountedDisk("ro", "ro-mounted");
  if (readOnly.empty())
    GTEST_SKIP() << "no read-only tmpfs is mounted at " << VELMORA_SMALL_DISK
                 << "/ro (mounting needs root), so the unwritable folder cannot be made";
  // The fixture wrote one file there before it made the disk read-only.
  m_Folder = readOnly;
  EXPECT_EQ(Line("locked.txt", "1 tabs converted - Copy failed. Tabs not converted.") + "\r\n",
            Run(readOnly + "\\*.txt"));
  EXPECT_EQ("\tlocked\r\n", Content(readOnly + "\\locked.txt"));
  EXPECT_EQ(Names{"locked.txt"}, FolderContent(readOnly));
}

TEST_F(ConvertMultipleFiles, ABinaryFileIsLeftAsItWasWithItsOwnLine) {
  const std::string binary = std::string("MZ\x90\0\t\0\0\0", 8) + "\tpadding\t" + std::string(3, '\0');
  ASSERT_TRUE(WriteWholeFile(m_Dir / "tool.exe", binary));
  ASSERT_TRUE(WriteWholeFile(m_Dir / "a.txt", kTabbed));
  // UTF-16 text holds NUL bytes and is text all the same.
  const std::string utf16("\xFF\xFE" "a\0\t\0b\0", 8);
  ASSERT_TRUE(WriteWholeFile(m_Dir / "wide.txt", utf16));
  EXPECT_EQ((Names{Line("a.txt", "2 tabs converted"),
                   Line("tool.exe", "Not a text file. Tabs not converted."),
                   Line("wide.txt", "1 tabs converted")}),
            SortedLines(Run(m_Dir / "*.?x?")));
  EXPECT_TRUE(Content(m_Dir / "tool.exe") == binary);
  EXPECT_EQ(kExpanded, Content(m_Dir / "a.txt"));
  EXPECT_EQ(std::string("\xFF\xFE" "a\0 \0 \0 \0 \0 \0 \0 \0b\0", 20), Content(m_Dir / "wide.txt"));
  EXPECT_EQ((Names{"a.txt", "tool.exe", "wide.txt"}), FolderContent(m_Folder));
}

TEST_F(ConvertMultipleFiles, AHiddenFileIsConvertedAndStaysHidden) {
  ASSERT_TRUE(WriteWholeFile(m_Dir / "hidden.txt", kTabbed));
  if (!MakeHidden(m_Dir / "hidden.txt")) GTEST_SKIP() << kNoHiddenBit;
  EXPECT_EQ(Line("hidden.txt", "2 tabs converted") + "\r\n", Run(m_Dir / "*.txt"));
  EXPECT_EQ(kExpanded, Content(m_Dir / "hidden.txt"));
  EXPECT_TRUE(GetFileAttributesA((m_Dir / "hidden.txt").c_str()) & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(Names{"hidden.txt"}, FolderContent(m_Folder));
}

TEST_F(ConvertMultipleFiles, NamesInAnyLanguageAreMatchedConvertedAndKeptInTheHistory) {
  ASSERT_EQ(65001u, GetACP());  // the program's code page, from the manifest this test carries too
  const std::string cyrillic = "\xD0\x96\xD1\x83\xD0\xBA \xE6\x97\xA5\xE6\x9C\xAC.txt";  // Cyrillic, Japanese
  const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xCE\xB1.txt";    // Japanese, Greek
  for (const std::string& name : {cyrillic, japanese, std::string("plain.txt")})
    ASSERT_TRUE(WriteFileNamed(Wide(m_Dir / name), kTabbed));
  SetText(IDC_MAIN_TABS, "8");

  const struct Case {
    const char* name;
    std::string pattern;
    Names lines;
  } cases[] = {
      {"a pattern of Cyrillic letters", m_Dir / "\xD0\x96*.txt", {Line(cyrillic, "2 tabs converted")}},
      {"a pattern of Japanese letters", m_Dir / "*\xE8\xAA\x9E*", {Line(japanese, "2 tabs converted")}},
      {"every file", m_Dir / "*.txt",
       {Line(cyrillic, "0 tabs converted"), Line(japanese, "0 tabs converted"), Line("plain.txt", "2 tabs converted")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CScriptedBoxes boxes;
    const std::string report = Run(c.pattern, IDOK);
    EXPECT_EQ(Sorted(c.lines), SortedLines(report));
    EXPECT_TRUE(boxes.m_Boxes.empty());
    EXPECT_EQ(c.pattern, List(IDC_MAIN_PATTERN).at(0));
    EXPECT_TRUE(HistoryValue("MultipleFiles1") == Wide(c.pattern));
  }
  for (const std::string& name : {cyrillic, japanese, std::string("plain.txt")})
    EXPECT_EQ(kExpanded, ContentOf(Wide(m_Dir / name))) << name;
}

TEST_F(ConvertMultipleFiles, ACopyBackThatRunsOutOfDiskLeavesTheFileWhole) {
  const std::string disk = SmallDisk();
  if (disk.empty())
    GTEST_SKIP() << "no small tmpfs is mounted at " << VELMORA_SMALL_DISK
                 << "/mnt (mounting needs root), so the disk-full case cannot run";
  const std::string folder = disk + "\\texts";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  // 30 000 bytes that expand to 82 500: the converted copy cannot fit on the
  // 64 KiB disk, even once the original is gone.
  std::string big;
  while (big.size() < 30000) big += "\tx\r\n";
  ASSERT_TRUE(WriteWholeFile(folder + "\\big.txt", big));
  ASSERT_TRUE(WriteWholeFile(folder + "\\small.txt", "\ts"));

  m_Folder = folder;
  const std::string report = Run(folder + "\\*.txt");
  EXPECT_EQ((Names{Line("big.txt", "7500 tabs converted - Copy failed. Tabs not converted."),
                   Line("small.txt", "1 tabs converted")}),
            SortedLines(report));
  EXPECT_TRUE(Content(folder + "\\big.txt") == big) << "the file was spoilt by the failed copy";
  EXPECT_EQ("        s", Content(folder + "\\small.txt"));
  EXPECT_EQ((Names{"big.txt", "small.txt"}), FolderContent(folder));
  RemoveTree(folder);
}

TEST_F(ConvertMultipleFiles, APatternThatNamesADeviceMatchesNothing) {
  ASSERT_TRUE(WriteWholeFile(m_Dir / "a.txt", kTabbed));
  CCurrentDirectory there(m_Folder);
  for (const std::string& pattern : Names{"nul", "COM1", "\\\\.\\nul", "lpt1.txt", m_Dir / "con"}) {
    SCOPED_TRACE(pattern);
    CScriptedBoxes boxes;
    EXPECT_EQ("", Run(pattern));
    ASSERT_EQ(1u, boxes.m_Boxes.size());
    EXPECT_EQ("No files were converted. Check the source files path.", boxes.m_Boxes[0].text);
  }
  EXPECT_EQ(kTabbed, Content(m_Dir / "a.txt"));
  EXPECT_EQ(Names{"a.txt"}, FolderContent(m_Folder));
}

TEST_F(ConvertMultipleFiles, AFileWithSeveralNamesAndAFileWithoutTabsHaveTheirLines) {
  ASSERT_TRUE(WriteWholeFile(m_Dir / "a.txt", kTabbed));
  ASSERT_TRUE(WriteWholeFile(m_Dir / "plain.txt", "no tabs\r\n"));
  ASSERT_TRUE(WriteWholeFile(m_Dir / "linked.txt", kTabbed));
  if (!CreateHardLinkA((m_Dir / "linked.dat").c_str(), (m_Dir / "linked.txt").c_str(), nullptr))
    GTEST_SKIP() << "the file system makes no hard links";
  EXPECT_EQ((Names{Line("a.txt", "2 tabs converted"),
                   Line("linked.txt", "A file with more than one name (hard links). Tabs not converted."),
                   Line("plain.txt", "0 tabs converted")}),
            SortedLines(Run(m_Dir / "*.txt")));
  EXPECT_EQ(kExpanded, Content(m_Dir / "a.txt"));
  EXPECT_EQ(kTabbed, Content(m_Dir / "linked.txt"));
  EXPECT_EQ(kTabbed, Content(m_Dir / "linked.dat"));
  EXPECT_EQ((Names{"a.txt", "linked.dat", "linked.txt", "plain.txt"}), FolderContent(m_Folder));
}

}  // namespace
