// The "Leading tabs only" check box and lists of stops in the tab box, driven
// from outside: the box clicked, lists typed key by key, each command run,
// the boxes answered, the files, the clipboard and the settings read back.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/e2e/clipboard_text.h"
#include "tests/e2e/program_fixture.h"

namespace {

constexpr int kTabs = 1004, kSource = 1005, kDestination = 1006, kConvertClipboard = 1010, kPattern = 1015,
              kConvertFile = 1018, kConvertMultiple = 3, kLeadingOnly = 1020, kReport = 1017;

const char kAnother[] = " tabs converted.\n\nDo you want to convert another file?";
const char kContinue[] = " tabs converted.\n\nDo you want to continue to use Orvane Zenvero?";

// UTF-16 little-endian with its mark, from ASCII text.
std::string Utf16Le(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (char ch : ascii) {
    out += ch;
    out += '\0';
  }
  return out;
}

class TabModes : public ProgramTest {
 protected:
  bool IsLeadingOnlyChecked() {
    DWORD_PTR state = 0;
    EXPECT_TRUE(SendMessageTimeoutA(GetDlgItem(m_hMain, kLeadingOnly), BM_GETCHECK, 0, 0, SMTO_NORMAL, 5000, &state));
    return state == BST_CHECKED;
  }
  // Clicks the check box and waits until it shows `checked`.
  void ClickLeadingOnly(bool checked) {
    ASSERT_NO_FATAL_FAILURE(Press(kLeadingOnly));
    ASSERT_TRUE(WaitUntil([&] { return IsLeadingOnlyChecked() == checked; })) << "the box stays as it was";
  }
  // Runs Convert Multiple Files on the pattern; the report's lines, sorted,
  // and the results closed with `button`.
  std::vector<std::string> RunMultiple(const std::string& pattern, int button) {
    if (GetControlText(m_hMain, kPattern) != pattern) Type(kPattern, pattern);
    Press(kConvertMultiple);
    HWND results = m_app.WaitForWindow({"Convert Multiple Files", "#32770"});
    if (results == nullptr) {
      ADD_FAILURE() << "no results dialog";
      return {};
    }
    const std::string report = GetControlText(results, kReport);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = report.find("\r\n", start)) != std::string::npos; start = end + 2)
      lines.push_back(report.substr(start, end - start));
    std::sort(lines.begin(), lines.end());
    EXPECT_TRUE(PressButton(results, button));
    EXPECT_TRUE(WaitForWindowGone(results));
    return lines;
  }
  // Runs Convert File from source to destination, replacing one that
  // exists, and answers "convert another?" after `count` with `answer`.
  void RunConvertFile(const std::string& source, const std::string& destination, const std::string& count,
                      int answer) {
    const bool exists = FileExists(destination);
    if (GetControlText(m_hMain, kSource) != source) {
      ASSERT_NO_FATAL_FAILURE(Type(kSource, source));
    }
    if (GetControlText(m_hMain, kDestination) != destination) {
      ASSERT_NO_FATAL_FAILURE(Type(kDestination, destination));
    }
    ASSERT_NO_FATAL_FAILURE(Press(kConvertFile));
    if (exists) {
      MessageBoxInfo box;
      ASSERT_NO_FATAL_FAILURE(ExpectMessageBox(&box, {IDYES, IDNO}));
      ASSERT_NE(std::string::npos, box.text.find("already exists")) << box.text;
      ASSERT_NO_FATAL_FAILURE(Answer(box, IDYES));
    }
    ASSERT_NO_FATAL_FAILURE(ExpectQuestion(count + kAnother, answer));
  }
};

TEST_F(TabModes, TheCheckBoxStartsClearAndIsRememberedAcrossRestarts) {
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  EXPECT_FALSE(IsLeadingOnlyChecked());
  EXPECT_FALSE(HasSetting("LeadingTabsOnly"));
  ASSERT_NO_FATAL_FAILURE(ClickLeadingOnly(true));
  EXPECT_TRUE(WaitUntil([&] { return SettingNumber("LeadingTabsOnly") == 1; })) << SettingNumber("LeadingTabsOnly");
  ASSERT_NO_FATAL_FAILURE(Press(IDCANCEL));
  ASSERT_NO_FATAL_FAILURE(ExpectProgramEnds());

  ASSERT_NO_FATAL_FAILURE(StartProgram());
  EXPECT_TRUE(IsLeadingOnlyChecked());
  ASSERT_NO_FATAL_FAILURE(ClickLeadingOnly(false));
  EXPECT_TRUE(WaitUntil([&] { return SettingNumber("LeadingTabsOnly") == 0; })) << SettingNumber("LeadingTabsOnly");
  ASSERT_NO_FATAL_FAILURE(Press(IDCANCEL));
  ASSERT_NO_FATAL_FAILURE(ExpectProgramEnds());

  ASSERT_NO_FATAL_FAILURE(StartProgram());
  EXPECT_FALSE(IsLeadingOnlyChecked());
}

// Bytes, UTF-8 and UTF-16; CRLF and LF lines; tabs in the indentation and after it.
TEST_F(TabModes, ConvertFileTakesOnlyTheIndentationWhenChecked) {
  const std::string text = "\tif (a)\t{\r\n \t\tb;\t// c\n\r\n\t}";
  const std::string leading = "    if (a)\t{\r\n        b;\t// c\n\r\n    }";
  const std::string every = "    if (a)  {\r\n        b;  // c\n\r\n    }";
  const struct {
    const char* name;
    std::string source, leading, every;
  } files[] = {
      {"bytes.txt", text + "\xE9", leading + "\xE9", every + "\xE9"},
      {"utf8.txt", "\xEF\xBB\xBF" + text + "\xC3\xA9", "\xEF\xBB\xBF" + leading + "\xC3\xA9",
       "\xEF\xBB\xBF" + every + "\xC3\xA9"},
      {"utf16.txt", Utf16Le(text), Utf16Le(leading), Utf16Le(every)},
  };
  for (const auto& file : files) ASSERT_TRUE(WriteWholeFile(WorkFile(file.name), file.source));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(Type(kTabs, "4"));
  ASSERT_NO_FATAL_FAILURE(ClickLeadingOnly(true));
  for (const auto& file : files) {
    SCOPED_TRACE(file.name);
    const std::string out = WorkFile(std::string("leading-") + file.name);
    ASSERT_NO_FATAL_FAILURE(RunConvertFile(WorkFile(file.name), out, "4", IDYES));
    ASSERT_NO_FATAL_FAILURE(ExpectMainWindowBack());
    EXPECT_EQ(file.leading, ReadWorkFile(std::string("leading-") + file.name));
  }
  // Cleared: every tab again, into a file that exists.
  ASSERT_NO_FATAL_FAILURE(ClickLeadingOnly(false));
  ASSERT_NO_FATAL_FAILURE(RunConvertFile(WorkFile("utf8.txt"), WorkFile("leading-utf8.txt"), "6", IDNO));
  ASSERT_NO_FATAL_FAILURE(ExpectProgramEnds());
  EXPECT_EQ(files[1].every, ReadWorkFile("leading-utf8.txt"));
  EXPECT_EQ(0, SettingNumber("LeadingTabsOnly"));
}

TEST_F(TabModes, ConvertMultipleFilesCountsOnlyTheTabsItConverts) {
  ASSERT_TRUE(WriteWholeFile(WorkFile("a.c"), "\tx\t1;\n\t\ty;\n"));
  ASSERT_TRUE(WriteWholeFile(WorkFile("b.c"), Utf16Le("\tz\t2;\r\n")));
  ASSERT_TRUE(WriteWholeFile(WorkFile("c.c"), "w\t3;\r\n"));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(Type(kTabs, "2"));
  ASSERT_NO_FATAL_FAILURE(ClickLeadingOnly(true));
  const std::string pattern = WorkFile("*.c");
  EXPECT_EQ((std::vector<std::string>{WorkFile("a.c") + ": 3 tabs converted", WorkFile("b.c") + ": 1 tabs converted",
                                      WorkFile("c.c") + ": 0 tabs converted"}),
            RunMultiple(pattern, IDOK));
  ASSERT_NO_FATAL_FAILURE(ExpectMainWindowBack());
  EXPECT_EQ("  x\t1;\n    y;\n", ReadWorkFile("a.c"));
  EXPECT_EQ(Utf16Le("  z\t2;\r\n"), ReadWorkFile("b.c"));
  EXPECT_EQ("w\t3;\r\n", ReadWorkFile("c.c"));
  EXPECT_EQ(1, SettingNumber("LeadingTabsOnly"));

  // Cleared, the tabs left over go too.
  ASSERT_NO_FATAL_FAILURE(ClickLeadingOnly(false));
  EXPECT_EQ((std::vector<std::string>{WorkFile("a.c") + ": 1 tabs converted", WorkFile("b.c") + ": 1 tabs converted",
                                      WorkFile("c.c") + ": 1 tabs converted"}),
            RunMultiple(pattern, IDCANCEL));
  ASSERT_NO_FATAL_FAILURE(ExpectProgramEnds());
  EXPECT_EQ("  x 1;\n    y;\n", ReadWorkFile("a.c"));
  EXPECT_EQ("w 3;\r\n", ReadWorkFile("c.c"));
}

TEST_F(TabModes, ConvertClipboardTakesOnlyTheIndentationWhenChecked) {
  ASSERT_NO_FATAL_FAILURE(PutUnicodeText(L"\t\u65E5\t\u672C\r\n  \tx\ty\n\t"));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(Type(kTabs, "4"));
  ASSERT_NO_FATAL_FAILURE(ClickLeadingOnly(true));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertClipboard));
  ASSERT_NO_FATAL_FAILURE(ExpectQuestion(std::string("3") + kContinue, IDYES));
  ASSERT_NO_FATAL_FAILURE(ExpectMainWindowBack());
  EXPECT_TRUE(UnicodeClipboard() == L"    \u65E5\t\u672C\r\n    x\ty\n    ");

  ASSERT_NO_FATAL_FAILURE(ClickLeadingOnly(false));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertClipboard));
  ASSERT_NO_FATAL_FAILURE(ExpectQuestion(std::string("2") + kContinue, IDNO));
  ASSERT_NO_FATAL_FAILURE(ExpectProgramEnds());
  EXPECT_TRUE(UnicodeClipboard() == L"    \u65E5  \u672C\r\n    x   y\n    ");
}

TEST_F(TabModes, ATypedListOfStopsServesEveryCommandAndIsStoredAsTyped) {
  ASSERT_TRUE(WriteWholeFile(WorkFile("list.txt"), "a\tb\tc\td\te"));
  ASSERT_TRUE(WriteWholeFile(WorkFile("many.lst"), "\tx\r\n12345\ty"));
  ASSERT_TRUE(PutClipboardText("\t\t.\r\n1\t2"));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(Type(kTabs, "4, 10, 20"));
  ASSERT_NO_FATAL_FAILURE(RunConvertFile(WorkFile("list.txt"), WorkFile("out.txt"), "4", IDYES));
  ASSERT_NO_FATAL_FAILURE(ExpectMainWindowBack());
  // Stops at 4, 10 and 20, then every 10.
  EXPECT_EQ("a   b     c         d         e", ReadWorkFile("out.txt"));
  EXPECT_EQ("4, 10, 20", Setting("Tabs"));

  ASSERT_NO_FATAL_FAILURE(Type(kTabs, "3 7"));
  EXPECT_EQ((std::vector<std::string>{WorkFile("many.lst") + ": 2 tabs converted"}),
            RunMultiple(WorkFile("*.lst"), IDOK));
  ASSERT_NO_FATAL_FAILURE(ExpectMainWindowBack());
  EXPECT_EQ("   x\r\n12345  y", ReadWorkFile("many.lst"));
  EXPECT_EQ("3 7", Setting("Tabs"));

  // With leading tabs only: the indentation by the list, the rest kept.
  ASSERT_NO_FATAL_FAILURE(Type(kTabs, "2,5"));
  ASSERT_NO_FATAL_FAILURE(ClickLeadingOnly(true));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertClipboard));
  ASSERT_NO_FATAL_FAILURE(ExpectQuestion(std::string("2") + kContinue, IDNO));
  ASSERT_NO_FATAL_FAILURE(ExpectProgramEnds());
  std::string clipboard;
  EXPECT_TRUE(GetClipboardText(&clipboard));
  EXPECT_EQ("     .\r\n1\t2", clipboard);
  EXPECT_EQ("2,5", Setting("Tabs"));

  // The box shows the list again after a restart, and the arrows (here the
  // up key in the box) still set one number.
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  EXPECT_EQ("2,5", GetControlText(m_hMain, kTabs));
  EXPECT_TRUE(IsLeadingOnlyChecked());
  HWND tabBox = GetDlgItem(m_hMain, kTabs);
  PostMessageA(tabBox, WM_KEYDOWN, VK_UP, 1);
  PostMessageA(tabBox, WM_KEYUP, VK_UP, 0xC0000001);
  EXPECT_TRUE(WaitUntil([&] {
    const std::string text = GetControlText(m_hMain, kTabs);
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
  })) << GetControlText(m_hMain, kTabs);
}

TEST_F(TabModes, AListThatCannotBeUsedIsNamedAndNothingIsConverted) {
  ASSERT_TRUE(WriteWholeFile(WorkFile("keep.txt"), "\tk"));
  ASSERT_TRUE(PutClipboardText("\tclip"));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(Type(kSource, WorkFile("keep.txt")));
  ASSERT_NO_FATAL_FAILURE(Type(kDestination, WorkFile("new.txt")));
  ASSERT_NO_FATAL_FAILURE(Type(kPattern, WorkFile("*.txt")));
  const struct {
    const char* text;
    const char* problem;
  } lists[] = {
      {"10, 4", "the stops must increase from left to right"},
      {"4, 70000", "a stop must be at column 65535 or before"},
      {"0 8", "a stop must be at column 1 or beyond, not 0"},
  };
  for (const auto& list : lists) {
    SCOPED_TRACE(list.text);
    ASSERT_NO_FATAL_FAILURE(Type(kTabs, list.text));
    const std::string notice = std::string("The tab locations \"") + list.text + "\" cannot be used: " + list.problem +
                               ".\n\nPlease enter one tab width, such as 8, or the columns of the tab stops in "
                               "increasing order, such as 4, 10, 20.";
    for (int command : {kConvertFile, kConvertMultiple, kConvertClipboard}) {
      SCOPED_TRACE(command);
      // The click puts the focus on the button; the refusal puts it back in the tab box.
      ASSERT_NO_FATAL_FAILURE(Press(command));
      ASSERT_NO_FATAL_FAILURE(ExpectNotice(notice, kTabs));
    }
  }
  EXPECT_EQ("\tk", ReadWorkFile("keep.txt"));
  EXPECT_FALSE(FileExists(WorkFile("new.txt")));
  std::string clipboard;
  EXPECT_TRUE(GetClipboardText(&clipboard));
  EXPECT_EQ("\tclip", clipboard);
  // Nothing was stored either: the box's text is kept only by a command that runs.
  EXPECT_FALSE(HasSetting("Tabs"));
  EXPECT_FALSE(HasSetting("MultipleFiles1"));
}

}  // namespace
