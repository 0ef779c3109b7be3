// Convert Clipboard from outside: text put on the clipboard by this process
// (another program, for Velmora), the button pressed, the boxes answered and
// the clipboard read back, as 8-bit text and as Unicode text.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/e2e/clipboard_text.h"
#include "tests/e2e/program_fixture.h"

namespace {

constexpr int kTabs = 1004, kConvertClipboard = 1010;

const char kContinue[] = " tabs converted.\n\nDo you want to continue to use Orvane Zenvero?";

std::string Clipboard() {
  std::string text;
  EXPECT_TRUE(GetClipboardText(&text));
  return text;
}

void EmptyTheClipboard() {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
}

// The first format on the clipboard: the one its owner put there (the
// system's derived formats come after it).
UINT FirstFormat() {
  if (!OpenClipboard(nullptr)) return 0;
  const UINT format = EnumClipboardFormats(0);
  CloseClipboard();
  return format;
}

// Wine answers the version queries of Velmora.exe as Windows 98 while the
// object lives. Only the value goes again: the key holds the program's other
// Wine settings.
class CWindows98 {
 public:
  CWindows98() {
    m_bSet = RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &m_hKey, nullptr) ==
                 ERROR_SUCCESS &&
             RegSetValueExA(m_hKey, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"), 6) == ERROR_SUCCESS;
  }
  ~CWindows98() {
    if (m_hKey == nullptr) return;
    RegDeleteValueA(m_hKey, "Version");
    RegCloseKey(m_hKey);
  }
  CWindows98(const CWindows98&) = delete;
  CWindows98& operator=(const CWindows98&) = delete;
  bool IsSet() const { return m_bSet; }

 private:
  static constexpr const char* kKey = "Software\\Wine\\AppDefaults\\Velmora.exe";
  HKEY m_hKey = nullptr;
  bool m_bSet;
};

using ConvertClipboardCommand = ProgramTest;

TEST_F(ConvertClipboardCommand, UnicodeTextComesBackWholeLinedUpByItsCharacters) {
  // Cyrillic, Japanese (two columns each), Greek, an emoji (a surrogate pair,
  // two columns) and a combining accent (none).
  ASSERT_NO_FATAL_FAILURE(PutUnicodeText(
      L"\u0416\u0443\u043A\tx\r\n\u65E5\u672C\u8A9E\ty\r\n\u03B1\u03B2\u03B3\t\u03B4\r\n\U0001F600\tz\r\ne\u0301\t."));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(Type(kTabs, "4"));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertClipboard));
  ASSERT_NO_FATAL_FAILURE(ExpectQuestion(std::string("5") + kContinue, IDYES));
  ASSERT_NO_FATAL_FAILURE(ExpectMainWindowBack());
  EXPECT_TRUE(UnicodeClipboard() ==
              L"\u0416\u0443\u043A x\r\n\u65E5\u672C\u8A9E  y\r\n\u03B1\u03B2\u03B3 \u03B4\r\n\U0001F600  z\r\ne\u0301   .");
  // 8-bit text with letters of the system's code page converts as before.
  ASSERT_TRUE(PutClipboardText("caf\xE9\tx\r\n\xC0\xFC\t\t!"));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertClipboard));
  ASSERT_NO_FATAL_FAILURE(ExpectQuestion(std::string("3") + kContinue, IDNO));
  ASSERT_NO_FATAL_FAILURE(ExpectProgramEnds());
  EXPECT_EQ("caf\xE9    x\r\n\xC0\xFC      !", Clipboard());
  // Put back as Unicode text, from which the system derives the 8-bit text.
  EXPECT_EQ(static_cast<UINT>(CF_UNICODETEXT), FirstFormat());
}

TEST_F(ConvertClipboardCommand, OnWindows98The8BitTextIsConvertedAndPutBack) {
  CWindows98 windows98;
  ASSERT_TRUE(windows98.IsSet());
  ASSERT_TRUE(PutClipboardText("caf\xE9\tx\r\n\tz"));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(Type(kTabs, "4"));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertClipboard));
  ASSERT_NO_FATAL_FAILURE(ExpectQuestion(std::string("2") + kContinue, IDNO));
  ASSERT_NO_FATAL_FAILURE(ExpectProgramEnds());
  EXPECT_EQ("caf\xE9    x\r\n    z", Clipboard());
  EXPECT_EQ(static_cast<UINT>(CF_TEXT), FirstFormat());
}

TEST_F(ConvertClipboardCommand, ConvertsTheTextAndPutsItBackThenNoEndsTheProgram) {
  ASSERT_TRUE(PutClipboardText("a\tb\r\n\tc"));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(Type(kTabs, "4"));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertClipboard));
  ASSERT_NO_FATAL_FAILURE(ExpectQuestion(std::string("2") + kContinue, IDYES));
  ASSERT_NO_FATAL_FAILURE(ExpectMainWindowBack());
  EXPECT_EQ("a   b\r\n    c", Clipboard());
  EXPECT_EQ("4", Setting("Tabs"));

  // A width beyond the spin range, whose spaces outgrow the text many times.
  ASSERT_TRUE(PutClipboardText("\tx"));
  ASSERT_NO_FATAL_FAILURE(Type(kTabs, "2000"));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertClipboard));
  ASSERT_NO_FATAL_FAILURE(ExpectQuestion(std::string("1") + kContinue, IDNO));
  ASSERT_NO_FATAL_FAILURE(ExpectProgramEnds());
  // The converted text outlives the program.
  EXPECT_EQ(std::string(2000, ' ') + "x", Clipboard());
  EXPECT_EQ("2000", Setting("Tabs"));
}

TEST_F(ConvertClipboardCommand, TheButtonIsDisabledWhileTheClipboardHoldsNoText) {
  ASSERT_NO_FATAL_FAILURE(EmptyTheClipboard());
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(m_hMain, kConvertClipboard)));
  EXPECT_FALSE(PressButton(m_hMain, kConvertClipboard));
}

TEST_F(ConvertClipboardCommand, SaysSoWhenAnotherProgramEmptiedTheClipboard) {
  ASSERT_TRUE(PutClipboardText("\tx"));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  // Emptied by another program while the window stayed active: the button is
  // still enabled, and the command checks again.
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(m_hMain, kConvertClipboard)));
  ASSERT_NO_FATAL_FAILURE(EmptyTheClipboard());
  ASSERT_NO_FATAL_FAILURE(Press(kConvertClipboard));
  ASSERT_NO_FATAL_FAILURE(ExpectNotice("The clipboard does not contain any text."));
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
  // The window, active again after the box, now shows the button disabled.
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(GetDlgItem(m_hMain, kConvertClipboard)); }, 2000));
  EXPECT_FALSE(HasSetting("Tabs"));
}

TEST_F(ConvertClipboardCommand, ReportsAClipboardHeldOpenByAnotherProgramAndLeavesItsText) {
  ASSERT_TRUE(PutClipboardText("\ty"));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_TRUE(OpenClipboard(nullptr));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertClipboard));
  MessageBoxInfo box;
  const bool shown = m_app.WaitForMessageBox(&box);
  CloseClipboard();
  ASSERT_TRUE(shown);
  EXPECT_EQ("There was an error converting the text on the clipboard (1).", box.text);
  EXPECT_EQ(std::vector<int>{IDOK}, box.buttons);
  ASSERT_NO_FATAL_FAILURE(Answer(box, IDOK));
  ASSERT_NO_FATAL_FAILURE(ExpectMainWindowBack());
  EXPECT_EQ("\ty", Clipboard());
  EXPECT_FALSE(HasSetting("Tabs"));
}

}  // namespace
