// Convert File: the name checks in their order, the replace question, the
// empty test file, the conversion and the histories; text in UTF-8 and UTF-16,
// and names in any language, which reach the files and the histories whole.
#include <windows.h>

#include <new>

#include <gtest/gtest.h>

#include <string>

#include "app/history.h"
#include "app_base/settings.h"
#include "framework/handle.h"
#include "resources/resource.h"
#include "tests/commands/commands_test.h"

namespace {

using ConvertFileCommand = CommandTest;
using Names = std::vector<std::string>;

const char kTabbed[] = "a\tb\r\n\tc\r\n";
const char kExpanded4[] = "a   b\r\n    c\r\n";

// Text in UTF-16 of the given byte order.
std::string Utf16(const std::u16string& units, bool bigEndian) {
  std::string bytes;
  for (char16_t unit : units) {
    const char hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? hi : lo;
    bytes += bigEndian ? lo : hi;
  }
  return bytes;
}

void Remember(const char* history, const Names& names) {
  WriteSettingInt("Settings", (std::string(history) + "Num").c_str(), static_cast<int>(names.size()));
  for (size_t i = 0; i < names.size(); ++i)
    WriteSettingString("Settings", (history + std::to_string(i + 1)).c_str(), names[i].c_str());
}

TEST_F(ConvertFileCommand, RefusesBadNamesWithTheMessageAndFocusOnTheBox) {
  CCurrentDirectory here(m_Dir.GetPath());
  ASSERT_TRUE(WriteWholeFile(m_Dir / "a.txt", kTabbed));
  ASSERT_TRUE(WriteWholeFile(m_Dir / "taken.txt", "keep"));
  // Full paths have 259 characters at most: a name short enough to type may
  // still be too long once the current folder is put before it.
  const std::string fitsAlone(MAX_PATH - 10, 'n');
  const std::string typedTooLong(400, 'x');

  const struct Case {
    const char* name;
    std::string source, destination, message;
    int focus;
    Names sourceHistory, destinationHistory;  // after the refusal
  } cases[] = {
      {"empty source", "", "", "Please enter a source file name.", IDC_MAIN_SOURCE, {"gone.txt", "a.txt"}, {"nowhere\\out.txt", "out.txt"}},
      {"missing source", "gone.txt", "", "Unable to open gone.txt.  Please enter another source file name.",
       IDC_MAIN_SOURCE, {"a.txt"}, {"nowhere\\out.txt", "out.txt"}},
      {"source in a missing folder", "nowhere\\a.txt", "new.txt",
       "Unable to open nowhere\\a.txt.  Please enter another source file name.", IDC_MAIN_SOURCE,
       {"gone.txt", "a.txt"}, {"nowhere\\out.txt", "out.txt"}},
      {"source too long with the folder", fitsAlone, "new.txt",
       "The source file name is too long.  Please enter a shorter source file name.", IDC_MAIN_SOURCE,
       {"gone.txt", "a.txt"}, {"nowhere\\out.txt", "out.txt"}},
      {"source too long as typed", typedTooLong, "new.txt",
       "The source file name is too long.  Please enter a shorter source file name.", IDC_MAIN_SOURCE,
       {"gone.txt", "a.txt"}, {"nowhere\\out.txt", "out.txt"}},
      {"empty destination", "a.txt", "", "Please enter a destination file name.", IDC_MAIN_DESTINATION,
       {"gone.txt", "a.txt"}, {"nowhere\\out.txt", "out.txt"}},
      {"destination too long", "a.txt", fitsAlone,
       "The destination file name is too long.  Please enter a shorter destination file name.",
       IDC_MAIN_DESTINATION, {"gone.txt", "a.txt"}, {"nowhere\\out.txt", "out.txt"}},
      {"same file in other case", "a.txt", "A.TXT",
       "The source file and the destination file cannot be the same file.  Please enter a different destination "
       "file name.",
       IDC_MAIN_DESTINATION, {"gone.txt", "a.txt"}, {"nowhere\\out.txt", "out.txt"}},
      {"same file relative and absolute", m_Dir / "a.txt", ".\\a.txt",
       "The source file and the destination file cannot be the same file.  Please enter a different destination "
       "file name.",
       IDC_MAIN_DESTINATION, {"gone.txt", "a.txt"}, {"nowhere\\out.txt", "out.txt"}},
      {"destination that cannot be created", "a.txt", "nowhere\\out.txt",
       "The destination file cannot be opened for writing.  Please enter a different destination file name.",
       IDC_MAIN_DESTINATION, {"gone.txt", "a.txt"}, {"out.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Remember("Source", {"gone.txt", "a.txt"});
    Remember("Destination", {"nowhere\\out.txt", "out.txt"});
    // Reload the lists as the window shows them at start-up.
    SetText(IDC_MAIN_TABS, "4");
    LoadHistory(CComboBox(GetDlgItem(m_Dlg, IDC_MAIN_SOURCE)), "Source", false);
    LoadHistory(CComboBox(GetDlgItem(m_Dlg, IDC_MAIN_DESTINATION)), "Destination", false);
    SetText(IDC_MAIN_SOURCE, c.source);
    SetText(IDC_MAIN_DESTINATION, c.destination);
    SetFocus(GetDlgItem(m_Dlg, IDC_MAIN_TABS));
    WriteSettingString("Settings", "Tabs", "untouched");

    CScriptedBoxes boxes;
    Press(IDC_MAIN_CONVERT_FILE);
    ASSERT_EQ(1u, boxes.m_Boxes.size());
    EXPECT_EQ(c.message, boxes.m_Boxes[0].text);
    EXPECT_EQ(kRefusal, boxes.m_Boxes[0].type);
    EXPECT_TRUE(HasFocus(c.focus));
    EXPECT_TRUE(IsOpen());
    // The boxes keep what was typed; only a refused name leaves its history.
    EXPECT_EQ(c.source, Text(IDC_MAIN_SOURCE));
    EXPECT_EQ(c.destination, Text(IDC_MAIN_DESTINATION));
    EXPECT_EQ(c.sourceHistory, List(IDC_MAIN_SOURCE));
    EXPECT_EQ(c.destinationHistory, List(IDC_MAIN_DESTINATION));
    // Nothing converted, no tab text stored, no file made.
    EXPECT_EQ("untouched", GetSettingString("Settings", "Tabs", ""));
    EXPECT_EQ(kTabbed, Content(m_Dir / "a.txt"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((m_Dir / "new.txt").c_str()));
  }
}

TEST_F(ConvertFileCommand, AnExistingDestinationIsReplacedOnlyAfterYes) {
  const std::string source = m_Dir / "a.txt";
  const std::string destination = m_Dir / "out.txt";
  ASSERT_TRUE(WriteWholeFile(source, kTabbed));
  ASSERT_TRUE(WriteWholeFile(destination, "old content"));
  SetText(IDC_MAIN_TABS, "4");
  SetText(IDC_MAIN_SOURCE, source);
  SetText(IDC_MAIN_DESTINATION, destination);
  const std::string question =
      destination + "\nThe destination file already exists.\n\nDo you want to replace the existing file?";

  {
    CScriptedBoxes boxes({IDNO}, IDOK);
    Press(IDC_MAIN_CONVERT_FILE);
    ASSERT_EQ(1u, boxes.m_Boxes.size());
    EXPECT_EQ(question, boxes.m_Boxes[0].text);
    EXPECT_EQ(kQuestion, boxes.m_Boxes[0].type);
    EXPECT_TRUE(HasFocus(IDC_MAIN_DESTINATION));
    EXPECT_EQ("old content", Content(destination));
    EXPECT_TRUE(List(IDC_MAIN_SOURCE).empty());
  }
  {
    CScriptedBoxes boxes({IDYES, IDYES}, IDOK);
    Press(IDC_MAIN_CONVERT_FILE);
    ASSERT_EQ(2u, boxes.m_Boxes.size());
    EXPECT_EQ(question, boxes.m_Boxes[0].text);
    EXPECT_EQ("2 tabs converted.\n\nDo you want to convert another file?", boxes.m_Boxes[1].text);
    EXPECT_EQ(kQuestion, boxes.m_Boxes[1].type);
    EXPECT_EQ(kExpanded4, Content(destination));
    EXPECT_TRUE(IsOpen());
    EXPECT_EQ(Names{source}, List(IDC_MAIN_SOURCE));
    EXPECT_EQ(Names{destination}, List(IDC_MAIN_DESTINATION));
    EXPECT_EQ("4", GetSettingString("Settings", "Tabs", ""));
  }
}

// A name the lookup does not match but the file system opens (on NTFS
// "notes.txt::$DATA" for notes.txt; Wine has no such names, so a lookup that
// misses stands for it).
FileLookup MissingLookUp(const std::string& name, std::string* fullPath) {
  const std::string::size_type at = name.find("out.txt");
  if (at != std::string::npos && at + 7 == name.size()) return FileLookup::missing;
  return LookUpFile(name, fullPath);
}

TEST_F(ConvertFileCommand, AnExistingFileTheLookupMissesIsAskedAboutNeverEmptied) {
  const std::string source = m_Dir / "a.txt";
  const std::string destination = m_Dir / "out.txt";
  ASSERT_TRUE(WriteWholeFile(source, kTabbed));
  ASSERT_TRUE(WriteWholeFile(destination, "old content"));
  m_Dlg.m_pfnLookUpFile = MissingLookUp;
  SetText(IDC_MAIN_TABS, "4");
  SetText(IDC_MAIN_SOURCE, source);
  SetText(IDC_MAIN_DESTINATION, destination);
  const std::string question =
      destination + "\nThe destination file already exists.\n\nDo you want to replace the existing file?";
  {
    CScriptedBoxes boxes({IDNO}, IDOK);
    Press(IDC_MAIN_CONVERT_FILE);
    ASSERT_EQ(1u, boxes.m_Boxes.size());
    EXPECT_EQ(question, boxes.m_Boxes[0].text);
    EXPECT_TRUE(HasFocus(IDC_MAIN_DESTINATION));
    EXPECT_EQ("old content", Content(destination));
  }
  {
    CScriptedBoxes boxes({IDYES, IDYES}, IDOK);
    Press(IDC_MAIN_CONVERT_FILE);
    ASSERT_EQ(2u, boxes.m_Boxes.size());
    EXPECT_EQ(question, boxes.m_Boxes[0].text);
    EXPECT_EQ(kExpanded4, Content(destination));
  }
}

// A command that runs out of memory half-way.
FileLookup ExhaustedLookUp(const std::string&, std::string*) { throw std::bad_alloc(); }

TEST_F(ConvertFileCommand, ACommandThatRunsOutOfMemoryIsReportedAndTheWindowStays) {
  ASSERT_TRUE(WriteWholeFile(m_Dir / "a.txt", kTabbed));
  m_Dlg.m_pfnLookUpFile = ExhaustedLookUp;
  SetText(IDC_MAIN_SOURCE, m_Dir / "a.txt");
  SetText(IDC_MAIN_DESTINATION, m_Dir / "out.txt");
  CScriptedBoxes boxes;
  Press(IDC_MAIN_CONVERT_FILE);
  ASSERT_EQ(1u, boxes.m_Boxes.size());
  EXPECT_EQ("Orvane Zenvero ran out of memory and could not finish the command.",
            boxes.m_Boxes[0].text);
  EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), boxes.m_Boxes[0].type);
  EXPECT_TRUE(IsOpen());
  EXPECT_FALSE(FileExists(m_Dir / "out.txt"));
  // The window goes on working.
  m_Dlg.m_pfnLookUpFile = LookUpFile;
  CScriptedBoxes more({IDYES}, IDOK);
  Press(IDC_MAIN_CONVERT_FILE);
  ASSERT_EQ(1u, more.m_Boxes.size());
  EXPECT_EQ("2 tabs converted.\n\nDo you want to convert another file?", more.m_Boxes[0].text);
}

TEST_F(ConvertFileCommand, NoAfterSuccessKeepsTheTypedNamesAndEndsTheProgram) {
  CCurrentDirectory here(m_Dir.GetPath());
  ASSERT_TRUE(WriteWholeFile(m_Dir / "a.txt", kTabbed));
  Remember("Source", {"older.txt", "A.TXT"});
  LoadHistory(CComboBox(GetDlgItem(m_Dlg, IDC_MAIN_SOURCE)), "Source", false);
  SetText(IDC_MAIN_TABS, " 4 spaces");
  SetText(IDC_MAIN_SOURCE, "a.txt");
  SetText(IDC_MAIN_DESTINATION, "new.txt");

  CScriptedBoxes boxes({IDNO}, IDOK);
  Press(IDC_MAIN_CONVERT_FILE);
  ASSERT_EQ(1u, boxes.m_Boxes.size());
  EXPECT_EQ("2 tabs converted.\n\nDo you want to convert another file?", boxes.m_Boxes[0].text);
  EXPECT_EQ(kExpanded4, Content(m_Dir / "new.txt"));
  EXPECT_FALSE(IsOpen());
  EXPECT_EQ(IDCANCEL, m_Dlg.m_nModalResult);
  // As typed, not as full paths; the other-case entry gives way.
  EXPECT_EQ("a.txt", GetSettingString("Settings", "Source1", ""));
  EXPECT_EQ("older.txt", GetSettingString("Settings", "Source2", ""));
  EXPECT_EQ(2, GetSettingInt("Settings", "SourceNum", 0));
  EXPECT_EQ("new.txt", GetSettingString("Settings", "Destination1", ""));
  EXPECT_EQ(" 4 spaces", GetSettingString("Settings", "Tabs", ""));
}

TEST_F(ConvertFileCommand, WithNoHistoryKeptTheBoxesKeepTheNamesForTheNextFile) {
  CCurrentDirectory here(m_Dir.GetPath());
  ASSERT_TRUE(WriteWholeFile(m_Dir / "a.txt", kTabbed));
  for (int maxFiles : {0, -1}) {
    SCOPED_TRACE(maxFiles);
    WriteSettingInt("Settings", "MaxFiles", maxFiles);
    SetText(IDC_MAIN_TABS, "4");
    SetText(IDC_MAIN_SOURCE, "a.txt");
    SetText(IDC_MAIN_DESTINATION, "new.txt");
    CScriptedBoxes boxes({IDYES, IDYES}, IDOK);
    Press(IDC_MAIN_CONVERT_FILE);
    ASSERT_FALSE(boxes.m_Boxes.empty());
    EXPECT_EQ("2 tabs converted.\n\nDo you want to convert another file?", boxes.m_Boxes.back().text);
    EXPECT_EQ(kExpanded4, Content(m_Dir / "new.txt"));
    EXPECT_EQ("a.txt", Text(IDC_MAIN_SOURCE));
    EXPECT_EQ("new.txt", Text(IDC_MAIN_DESTINATION));
    EXPECT_TRUE(List(IDC_MAIN_SOURCE).empty());
    EXPECT_EQ(0, GetSettingInt("Settings", "SourceNum", -5));
  }
}

TEST_F(ConvertFileCommand, AConversionFailureLeavesTheEmptyTestFileAndTheHistories) {
  const std::string held = m_Dir / "held.txt";
  ASSERT_TRUE(WriteWholeFile(held, kTabbed));
  ASSERT_TRUE(WriteWholeFile(m_Dir / "b.txt", kTabbed));
  CHandle writer(CreateFileA(held.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(INVALID_HANDLE_VALUE, writer.Get());

  const struct Case {
    const char* name;
    std::string source;   // as typed
    std::string expected; // the source as the conversion names it
    std::string destination;
    std::string cause;    // the start of the failure's description
  } cases[] = {
      {"source held open for writing", held, held, m_Dir / "out1.txt",
       "A sharing violation occurred while accessing " + held + "."},
      // Wildcards that match pass the existence check; the open then fails.
      {"wildcard source", m_Dir / "*.txt", m_Dir / "*.txt", m_Dir / "out2.txt",
       "An unknown error occurred while accessing " + m_Dir / "*.txt" + "."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetText(IDC_MAIN_SOURCE, c.source);
    SetText(IDC_MAIN_DESTINATION, c.destination);
    CScriptedBoxes boxes;
    Press(IDC_MAIN_CONVERT_FILE);
    ASSERT_EQ(1u, boxes.m_Boxes.size());
    const std::string start = "Error converting file.\nSource: " + c.expected + "\nDestination: " + c.destination +
                              "\n\n" + c.cause;
    EXPECT_EQ(start, boxes.m_Boxes[0].text.substr(0, start.size()));
    EXPECT_EQ(kRefusal, boxes.m_Boxes[0].type);
    EXPECT_EQ("", Content(c.destination));  // the test file stays, empty
    EXPECT_TRUE(List(IDC_MAIN_SOURCE).empty());
    EXPECT_TRUE(List(IDC_MAIN_DESTINATION).empty());
    EXPECT_TRUE(IsOpen());
  }
  writer.Close();
  EXPECT_EQ(kTabbed, Content(held));
}

TEST_F(ConvertFileCommand, AFullDiskIsReportedWithTheNamesAsGivenAndTheCauseInFull) {
  const std::string disk = SmallDisk();
  if (disk.empty())
    GTEST_SKIP() << "no small tmpfs is mounted at " << VELMORA_SMALL_DISK
                 << "/mnt (mounting needs root), so the disk-full case cannot run";
  // 30 000 bytes that expand to 82 500: more than the 64 KiB disk holds.
  std::string big;
  while (big.size() < 30000) big += "\tx\r\n";
  const std::string source = m_Dir / "big.txt";
  ASSERT_TRUE(WriteWholeFile(source, big));
  CCurrentDirectory here(disk);
  SetText(IDC_MAIN_SOURCE, source);
  SetText(IDC_MAIN_DESTINATION, "out.txt");
  CScriptedBoxes boxes;
  Press(IDC_MAIN_CONVERT_FILE);
  ASSERT_EQ(1u, boxes.m_Boxes.size());
  // A new destination is named as typed; the failed write names its full path.
  EXPECT_EQ("Error converting file.\nSource: " + source + "\nDestination: out.txt\n\nDisk full while accessing " +
                disk + "\\out.txt.",
            boxes.m_Boxes[0].text);
  EXPECT_EQ(kRefusal, boxes.m_Boxes[0].type);
  EXPECT_TRUE(IsOpen());
  EXPECT_TRUE(List(IDC_MAIN_SOURCE).empty());
  const std::string written = Content(disk + "\\out.txt");
  EXPECT_GT(written.size(), 0u);
  EXPECT_LT(written.size(), 82500u);
  EXPECT_TRUE(DeleteFileA((disk + "\\out.txt").c_str()));
}

TEST_F(ConvertFileCommand, TextInUtf8AndUtf16AndAnsiConvertsByItsCharacters) {
  CCurrentDirectory here(m_Dir.GetPath());
  const struct Case {
    const char* name;
    std::string content, expected;
    const char* count;
  } cases[] = {
      {"UTF-16 LE with its mark", Utf16(u"\uFEFF\u0416\u0443\u043A\tx\r\n\u65E5\u672C\t\U0001F600\ty", false),
       Utf16(u"\uFEFF\u0416\u0443\u043A x\r\n\u65E5\u672C    \U0001F600  y", false), "3"},
      {"UTF-16 BE with its mark", Utf16(u"\uFEFF\u03B1\u03B2\u03B3\t\u03B4\r\ne\u0301\t.", true),
       Utf16(u"\uFEFF\u03B1\u03B2\u03B3 \u03B4\r\ne\u0301   .", true), "2"},
      {"UTF-8 with its mark", "\xEF\xBB\xBF\xD0\x96\xD1\x83\xD0\xBA\tx", "\xEF\xBB\xBF\xD0\x96\xD1\x83\xD0\xBA x", "1"},
      {"UTF-8 without a mark", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\ty\r\nab\tc",
       "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E  y\r\nab  c", "2"},
      {"ANSI with high bytes: a column a byte", "caf\xE9\tx\r\n\xD7\xD7\xD7\t!", "caf\xE9    x\r\n\xD7\xD7\xD7 !",
       "2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteWholeFile(m_Dir / "in.txt", c.content));
    DeleteFileA((m_Dir / "out.txt").c_str());
    SetText(IDC_MAIN_TABS, "4");
    SetText(IDC_MAIN_SOURCE, "in.txt");
    SetText(IDC_MAIN_DESTINATION, "out.txt");
    CScriptedBoxes boxes({IDYES}, IDOK);
    Press(IDC_MAIN_CONVERT_FILE);
    ASSERT_EQ(1u, boxes.m_Boxes.size());
    EXPECT_EQ(std::string(c.count) + " tabs converted.\n\nDo you want to convert another file?", boxes.m_Boxes[0].text);
    EXPECT_TRUE(Content(m_Dir / "out.txt") == c.expected) << Content(m_Dir / "out.txt");
    EXPECT_EQ(c.content, Content(m_Dir / "in.txt"));
  }
}

TEST_F(ConvertFileCommand, NamesInAnyLanguageReachTheFilesAndTheHistories) {
  // The program asks for UTF-8 as its code page; this test carries the same
  // manifest, so typed names are UTF-8 here as they are there.
  ASSERT_EQ(65001u, GetACP());
  const std::string source = "\xD0\x96\xD1\x83\xD0\xBA \xE6\x97\xA5\xE6\x9C\xAC.txt";  // Cyrillic, Japanese
  const std::string destination = "\xCE\xB1\xCE\xB2 \xE8\xAA\x9E.txt";                    // Greek, Japanese
  const std::wstring wideSource = Wide(m_Dir / source);
  ASSERT_TRUE(WriteFileNamed(wideSource, kTabbed));
  CCurrentDirectory here(m_Dir.GetPath());

  const struct Case {
    const char* name;
    std::string typedSource, typedDestination;
  } cases[] = {
      {"full paths", m_Dir / source, m_Dir / destination},
      {"names in the current folder", source, destination},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteFileW(Wide(m_Dir / destination).c_str());
    SetText(IDC_MAIN_TABS, "4");
    SetText(IDC_MAIN_SOURCE, c.typedSource);
    SetText(IDC_MAIN_DESTINATION, c.typedDestination);
    CScriptedBoxes boxes({IDYES}, IDOK);
    Press(IDC_MAIN_CONVERT_FILE);
    ASSERT_EQ(1u, boxes.m_Boxes.size());
    EXPECT_EQ("2 tabs converted.\n\nDo you want to convert another file?", boxes.m_Boxes[0].text);
    EXPECT_EQ(kExpanded4, ContentOf(Wide(m_Dir / destination)));
    EXPECT_EQ(kTabbed, ContentOf(wideSource));
    // The histories keep the names as typed, the same characters in the registry.
    EXPECT_EQ(c.typedSource, List(IDC_MAIN_SOURCE).at(0));
    EXPECT_EQ(c.typedDestination, List(IDC_MAIN_DESTINATION).at(0));
    EXPECT_TRUE(HistoryValue("Source1") == Wide(c.typedSource));
    EXPECT_TRUE(HistoryValue("Destination1") == Wide(c.typedDestination));
  }

  // An existing destination is named in the replace question as it is.
  SetText(IDC_MAIN_SOURCE, source);
  SetText(IDC_MAIN_DESTINATION, destination);
  CScriptedBoxes boxes({IDNO}, IDOK);
  Press(IDC_MAIN_CONVERT_FILE);
  ASSERT_EQ(1u, boxes.m_Boxes.size());
  EXPECT_EQ(m_Dir / destination + "\nThe destination file already exists.\n\nDo you want to replace the existing file?",
            boxes.m_Boxes[0].text);

  // A missing name is refused naming it whole.
  SetText(IDC_MAIN_SOURCE, "\xD0\x96\xD0\x96.txt");
  CScriptedBoxes missing({IDOK}, IDOK);
  Press(IDC_MAIN_CONVERT_FILE);
  ASSERT_EQ(1u, missing.m_Boxes.size());
  EXPECT_EQ("Unable to open \xD0\x96\xD0\x96.txt.  Please enter another source file name.", missing.m_Boxes[0].text);
}

TEST_F(ConvertFileCommand, RefusesADeviceAsSourceOrDestinationAndWritesNothing) {
  CCurrentDirectory here(m_Dir.GetPath());
  ASSERT_TRUE(WriteWholeFile(m_Dir / "a.txt", kTabbed));
  const struct Case {
    std::string source, destination;
    std::string named;  // as the message names it
    int focus;
  } cases[] = {
      {"COM1", "out.txt", "COM1", IDC_MAIN_SOURCE},
      {"nul.txt", "out.txt", "nul.txt", IDC_MAIN_SOURCE},
      {"\\\\.\\CONIN$", "out.txt", "\\\\.\\CONIN$", IDC_MAIN_SOURCE},
      {"a.txt", "COM1", "COM1", IDC_MAIN_DESTINATION},
      {"a.txt", "lpt9.log", "lpt9.log", IDC_MAIN_DESTINATION},
      {"a.txt", m_Dir / "Con . ", m_Dir / "Con . ", IDC_MAIN_DESTINATION},
      {"a.txt", "\\\\.\\NUL", "\\\\.\\NUL", IDC_MAIN_DESTINATION},
      {"a.txt", "conout$", "conout$", IDC_MAIN_DESTINATION},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source + " -> " + c.destination);
    SetText(IDC_MAIN_SOURCE, c.source);
    SetText(IDC_MAIN_DESTINATION, c.destination);
    SetFocus(GetDlgItem(m_Dlg, IDC_MAIN_TABS));
    CScriptedBoxes boxes({IDYES}, IDYES);
    Press(IDC_MAIN_CONVERT_FILE);
    ASSERT_EQ(1u, boxes.m_Boxes.size());
    EXPECT_EQ(c.named + " is a device, not a file.  Please enter another " +
                  (c.focus == IDC_MAIN_SOURCE ? "source" : "destination") + " file name.",
              boxes.m_Boxes[0].text);
    EXPECT_EQ(kRefusal, boxes.m_Boxes[0].type);
    EXPECT_TRUE(HasFocus(c.focus));
    EXPECT_TRUE(IsOpen());
    EXPECT_EQ(kTabbed, Content(m_Dir / "a.txt"));
    EXPECT_FALSE(FileExists(m_Dir / "out.txt"));
  }
}

}  // namespace
