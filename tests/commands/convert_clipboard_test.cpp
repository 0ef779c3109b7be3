// Convert Clipboard on the real clipboard: the text converted in place, the
// notice for no text, the error for a clipboard held by someone else, the
// clipboard opened for the main window and closed before any message. The
// text goes through the clipboard's Unicode form: every character comes back,
// lined up by its columns, and 8-bit text converts as it always did.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app_base/settings.h"
#include "framework/handle.h"
#include "resources/resource.h"
#include "tests/commands/commands_test.h"
#include "tests/engine/reference_expand.h"

namespace {

// Puts a block of exactly these bytes on the clipboard as CF_TEXT, with
// more formats if given.
void PutOnClipboard(const std::string& bytes, UINT extraFormat = 0) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes.size());
  std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
  GlobalUnlock(memory);
  SetClipboardData(CF_TEXT, memory);
  if (extraFormat != 0) {
    HGLOBAL extra = GlobalAlloc(GMEM_MOVEABLE, 4);
    std::memcpy(GlobalLock(extra), "xyz", 4);
    GlobalUnlock(extra);
    SetClipboardData(extraFormat, extra);
  }
  CloseClipboard();
}

void PutText(const std::string& text) { PutOnClipboard(std::string(text) + '\0'); }

void PutBitmapOnly() {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  HBITMAP bitmap = CreateBitmap(4, 4, 1, 1, nullptr);
  SetClipboardData(CF_BITMAP, bitmap);
  CloseClipboard();
}

// Puts the text and its 0 on the clipboard as CF_UNICODETEXT alone.
void PutUnicode(const std::u16string& text) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  const size_t size = (text.size() + 1) * sizeof(char16_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size);
  std::memcpy(GlobalLock(memory), text.c_str(), size);
  GlobalUnlock(memory);
  SetClipboardData(CF_UNICODETEXT, memory);
  CloseClipboard();
}

// The clipboard's CF_UNICODETEXT, or u"<none>".
std::u16string UnicodeText() {
  if (!OpenClipboard(nullptr)) return u"<busy>";
  std::u16string text = u"<none>";
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const char16_t* p = static_cast<const char16_t*>(GlobalLock(data))) {
      const size_t most = GlobalSize(data) / sizeof(char16_t);
      size_t length = 0;
      while (length < most && p[length] != 0) ++length;
      text.assign(p, length);
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

// UTF-16 as UTF-8, for failure messages.
std::string Printable(const std::u16string& text) {
  const std::wstring wide(text.begin(), text.end());
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                       nullptr, nullptr);
  std::string bytes(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &bytes[0], size, nullptr,
                      nullptr);
  return bytes;
}

// The clipboard's CF_TEXT, or "<none>".
std::string ClipboardText() {
  if (!OpenClipboard(nullptr)) return "<busy>";
  std::string text = "<none>";
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* p = static_cast<const char*>(GlobalLock(data))) {
      text = std::string(p, strnlen(p, GlobalSize(data)));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

// A box's answer that also notes the window the clipboard is open for while
// the box shows (null: closed).
CScriptedBoxes::Step NotingClipboard(std::vector<HWND>& openFor, int answer) {
  return [&openFor, answer] {
    openFor.push_back(GetOpenClipboardWindow());
    return answer;
  };
}

using ConvertClipboard = CommandTest;

TEST_F(ConvertClipboard, ConvertsTheTextInPlaceAndAsksToGoOn) {
  std::string dense;  // tab-dense text, a few hundred kilobytes once expanded
  while (dense.size() < 60000) dense += "\t\tx\t\r\n";
  const struct Case {
    const char* name;
    const char* tabs;
    std::string text;
    std::string bytes;  // as put on the clipboard, when not text and its 0
    std::string expected;
    const char* count;
  } cases[] = {
      {"lines start their own columns", "4", "a\tb\r\n\tc\r\nxyz\t", "", "a   b\r\n    c\r\nxyz ", "3"},
      {"a line feed ends a line", "4", "abc\n\tx\rab\ty", "", "abc\n    x\rab  y", "2"},
      {"no tabs", "8", "plain text\r\n", "", "plain text\r\n", "0"},
      {"a width of 2000 with a tab at column 0", "2000", "\tx", "", std::string(2000, ' ') + "x", "1"},
      {"empty text", "8", "", "", "", "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.bytes.empty())
      PutText(c.text);
    else
      PutOnClipboard(c.bytes);
    SetText(IDC_MAIN_TABS, c.tabs);
    ASSERT_EQ(nullptr, GetClipboardOwner());  // the test's own clipboard has no window
    std::vector<HWND> openFor;
    CScriptedBoxes boxes({NotingClipboard(openFor, IDYES)}, IDOK);
    Press(IDC_MAIN_CONVERT_CLIPBOARD);
    ASSERT_EQ(1u, boxes.m_Boxes.size());
    EXPECT_EQ(std::string(c.count) + " tabs converted.\n\nDo you want to continue to use Orvane Zenvero?",
              boxes.m_Boxes[0].text);
    EXPECT_EQ(kQuestion, boxes.m_Boxes[0].type);
    EXPECT_EQ(std::vector<HWND>{nullptr}, openFor);
    // Emptied while open for the main window: the new text is the window's.
    EXPECT_EQ(m_Dlg.m_hWnd, GetClipboardOwner());
    EXPECT_TRUE(ClipboardText() == c.expected) << ClipboardText().substr(0, 80);
    EXPECT_EQ(c.tabs, GetSettingString("Settings", "Tabs", ""));
    EXPECT_TRUE(IsOpen());
  }

  // Tab-dense text comes back complete, as the expansion rule gives it.
  PutText(dense);
  SetText(IDC_MAIN_TABS, "7");
  int64_t column = 0;
  uint64_t tabs = 0;
  const std::string expected = ReferenceExpand(dense, TabStopList{7}, column, tabs);
  CScriptedBoxes boxes({IDYES}, IDOK);
  Press(IDC_MAIN_CONVERT_CLIPBOARD);
  ASSERT_EQ(1u, boxes.m_Boxes.size());
  EXPECT_EQ(std::to_string(tabs) + " tabs converted.\n\nDo you want to continue to use Orvane Zenvero?",
            boxes.m_Boxes[0].text);
  EXPECT_TRUE(ClipboardText() == expected) << "the clipboard differs from the rule's output";
}

TEST_F(ConvertClipboard, OtherFormatsGoAndNoEndsTheProgram) {
  const UINT custom = RegisterClipboardFormatA("Velmora test format");
  PutOnClipboard(std::string("a\tb") + '\0', custom);
  ASSERT_TRUE(IsClipboardFormatAvailable(custom));
  SetText(IDC_MAIN_TABS, "4");
  CScriptedBoxes boxes({IDNO}, IDOK);
  Press(IDC_MAIN_CONVERT_CLIPBOARD);
  ASSERT_EQ(1u, boxes.m_Boxes.size());
  EXPECT_EQ("1 tabs converted.\n\nDo you want to continue to use Orvane Zenvero?", boxes.m_Boxes[0].text);
  EXPECT_FALSE(IsOpen());
  EXPECT_EQ(IDCANCEL, m_Dlg.m_nModalResult);
  EXPECT_EQ("a   b", ClipboardText());
  EXPECT_FALSE(IsClipboardFormatAvailable(custom));
}

TEST_F(ConvertClipboard, UnicodeTextIsReadAsTheSystemsText) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  const wchar_t text[] = L"x\ty";
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof text);
  std::memcpy(GlobalLock(memory), text, sizeof text);
  GlobalUnlock(memory);
  SetClipboardData(CF_UNICODETEXT, memory);
  CloseClipboard();
  SetText(IDC_MAIN_TABS, "4");
  CScriptedBoxes boxes({IDYES}, IDOK);
  Press(IDC_MAIN_CONVERT_CLIPBOARD);
  ASSERT_EQ(1u, boxes.m_Boxes.size());
  EXPECT_EQ("1 tabs converted.\n\nDo you want to continue to use Orvane Zenvero?", boxes.m_Boxes[0].text);
  EXPECT_EQ("x   y", ClipboardText());
}

TEST_F(ConvertClipboard, UnicodeTextComesBackWholeLinedUpByColumns) {
  const struct Case {
    const char* name;
    const char* tabs;
    std::u16string text;
    std::u16string expected;
    const char* count;
  } cases[] = {
      {"Cyrillic", "8", u"\u0416\u0443\u043A\tx", u"\u0416\u0443\u043A     x", "1"},
      {"Japanese, two columns a character", "8", u"\u65E5\u672C\u8A9E\ty", u"\u65E5\u672C\u8A9E  y", "1"},
      {"Greek", "8", u"\u03B1\u03B2\u03B3\t\u03B4", u"\u03B1\u03B2\u03B3     \u03B4", "1"},
      {"an emoji, one surrogate pair of two columns", "4", u"\U0001F600\tz\t!",
       u"\U0001F600  z   !", "2"},
      {"a combining accent takes no column", "4", u"e\u0301\tq", u"e\u0301   q", "1"},
      {"all of them, line by line", "6",
       u"\u0416\u0443\u043A\tx\r\n\u65E5\u672C\u8A9E\ty\r\n\u03B1\u03B2\u03B3\t\u03B4\r\n"
       u"\U0001F600\t\t\u00E9\r\nCafe\u0301\t.",
       u"\u0416\u0443\u043A   x\r\n\u65E5\u672C\u8A9E      y\r\n\u03B1\u03B2\u03B3   \u03B4\r\n"
       u"\U0001F600          \u00E9\r\nCafe\u0301  .",
       "6"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PutUnicode(c.text);
    SetText(IDC_MAIN_TABS, c.tabs);
    std::vector<HWND> openFor;
    CScriptedBoxes boxes({NotingClipboard(openFor, IDYES)}, IDOK);
    Press(IDC_MAIN_CONVERT_CLIPBOARD);
    ASSERT_EQ(1u, boxes.m_Boxes.size());
    EXPECT_EQ(std::string(c.count) + " tabs converted.\n\nDo you want to continue to use Orvane Zenvero?",
              boxes.m_Boxes[0].text);
    EXPECT_EQ(std::vector<HWND>{nullptr}, openFor);
    EXPECT_EQ(m_Dlg.m_hWnd, GetClipboardOwner());
    const std::u16string result = UnicodeText();
    EXPECT_TRUE(result == c.expected) << Printable(result);
    // Programs that ask for 8-bit text are still offered it.
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    EXPECT_TRUE(IsOpen());
  }
}

TEST_F(ConvertClipboard, EightBitTextWithHighBytesConvertsAsBefore) {
  // Western letters and signs of the system's 8-bit code page, each a column.
  PutText("caf\xE9\tx\r\n\xA3\xD7\t1\r\n\xC0\xFC\xDF\t\t2");
  SetText(IDC_MAIN_TABS, "4");
  CScriptedBoxes boxes({IDYES}, IDOK);
  Press(IDC_MAIN_CONVERT_CLIPBOARD);
  ASSERT_EQ(1u, boxes.m_Boxes.size());
  EXPECT_EQ("4 tabs converted.\n\nDo you want to continue to use Orvane Zenvero?", boxes.m_Boxes[0].text);
  EXPECT_EQ("caf\xE9    x\r\n\xA3\xD7  1\r\n\xC0\xFC\xDF     2", ClipboardText());
}

TEST_F(ConvertClipboard, AnImageOnlyGetsTheNoticeAndStays) {
  PutBitmapOnly();
  WriteSettingString("Settings", "Tabs", "untouched");
  CScriptedBoxes boxes({IDNO}, IDOK);
  Press(IDC_MAIN_CONVERT_CLIPBOARD);
  ASSERT_EQ(1u, boxes.m_Boxes.size());
  EXPECT_EQ("The clipboard does not contain any text.", boxes.m_Boxes[0].text);
  EXPECT_EQ(kNotice, boxes.m_Boxes[0].type);
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
  EXPECT_EQ("untouched", GetSettingString("Settings", "Tabs", ""));
  EXPECT_TRUE(IsOpen());
}

// A main window whose clipboard blocks cannot be had. It notes the window
// the clipboard is open for when the block is asked for.
class CNoBlockDlg : public CMainDlg {
 public:
  explicit CNoBlockDlg(bool unlockable) : CMainDlg(&TestApp()) {
    m_pfnAllocateClipboardBlock = unlockable ? UnlockableBlock : NoBlock;
    s_OpenFor.clear();
  }

  // The window the clipboard was open for each time a block was asked for.
  static std::vector<HWND> s_OpenFor;

 private:
  static HGLOBAL NoBlock(SIZE_T) {
    s_OpenFor.push_back(GetOpenClipboardWindow());
    return nullptr;
  }
  // A moveable block of no bytes is discarded: locking it fails.
  static HGLOBAL UnlockableBlock(SIZE_T) {
    s_OpenFor.push_back(GetOpenClipboardWindow());
    return GlobalAlloc(GMEM_MOVEABLE, 0);
  }
};
std::vector<HWND> CNoBlockDlg::s_OpenFor;

TEST_F(ConvertClipboard, ABlockThatCannotBeHadLeavesTheClipboardAsItWas) {
  const UINT custom = RegisterClipboardFormatA("Velmora test format");
  const struct Case {
    const char* name;
    bool unlockable;
    const char* code;
  } cases[] = {
      {"no memory for the block", false, "7"},
      {"a block that cannot be locked", true, "8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PutOnClipboard(std::string("a\tb") + '\0', custom);
    CNoBlockDlg dlg(c.unlockable);
    ASSERT_TRUE(dlg.Create());
    SetDlgItemTextA(dlg, IDC_MAIN_TABS, "4");
    std::vector<HWND> openFor;
    CScriptedBoxes boxes({NotingClipboard(openFor, IDOK)}, IDOK);
    SendDlgItemMessageA(dlg, IDC_MAIN_CONVERT_CLIPBOARD, BM_CLICK, 0, 0);
    ASSERT_EQ(1u, boxes.m_Boxes.size());
    EXPECT_EQ(std::string("There was an error converting the text on the clipboard (") + c.code + ").",
              boxes.m_Boxes[0].text);
    EXPECT_EQ(kRefusal, boxes.m_Boxes[0].type);
    // Open for the main window while the block was made, closed for the box.
    EXPECT_EQ(std::vector<HWND>{dlg.m_hWnd}, CNoBlockDlg::s_OpenFor);
    EXPECT_EQ(std::vector<HWND>{nullptr}, openFor);
    // Nothing of the user's clipboard is lost.
    EXPECT_EQ("a\tb", ClipboardText());
    EXPECT_TRUE(IsClipboardFormatAvailable(custom));
    EXPECT_TRUE(IsWindow(dlg.m_hWnd));
  }
}

TEST_F(ConvertClipboard, AFailureLeavesUnicodeTextUntouched) {
  const std::u16string text = u"\u0416\u0443\u043A\t\u65E5\u672C\u8A9E\t\U0001F600e\u0301";
  for (bool unlockable : {false, true}) {
    SCOPED_TRACE(unlockable ? "a block that cannot be locked" : "no memory for the block");
    PutUnicode(text);
    CNoBlockDlg dlg(unlockable);
    ASSERT_TRUE(dlg.Create());
    SetDlgItemTextA(dlg, IDC_MAIN_TABS, "4");
    CScriptedBoxes boxes({IDOK}, IDOK);
    SendDlgItemMessageA(dlg, IDC_MAIN_CONVERT_CLIPBOARD, BM_CLICK, 0, 0);
    ASSERT_EQ(1u, boxes.m_Boxes.size());
    EXPECT_EQ(std::string("There was an error converting the text on the clipboard (") + (unlockable ? "8" : "7") +
                  ").",
              boxes.m_Boxes[0].text);
    const std::u16string result = UnicodeText();
    EXPECT_TRUE(result == text) << Printable(result);
  }

  // Held open by another program: code 1, and the text stays as it was.
  PutUnicode(text);
  CHandle opened(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  CHandle release(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  std::thread holder([&] {
    HWND window = CreateWindowExA(0, "STATIC", "holder", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    BOOL ok = OpenClipboard(window);
    SetEvent(opened);
    WaitForSingleObject(release, 10000);
    if (ok) CloseClipboard();
    DestroyWindow(window);
  });
  WaitForSingleObject(opened, 10000);
  CScriptedBoxes boxes({IDOK}, IDOK);
  Press(IDC_MAIN_CONVERT_CLIPBOARD);
  SetEvent(release);
  holder.join();
  ASSERT_EQ(1u, boxes.m_Boxes.size());
  EXPECT_EQ("There was an error converting the text on the clipboard (1).", boxes.m_Boxes[0].text);
  const std::u16string result = UnicodeText();
  EXPECT_TRUE(result == text) << Printable(result);
}

TEST_F(ConvertClipboard, AClipboardHeldOpenElsewhereIsErrorOne) {
  PutText("a\tb");
  CHandle opened(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  CHandle release(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  // Another thread stands for another program: the clipboard is opened per
  // thread, here for a window of that thread's own.
  HWND holderWindow = nullptr;
  std::thread holder([&] {
    holderWindow = CreateWindowExA(0, "STATIC", "holder", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
    BOOL ok = OpenClipboard(holderWindow);
    SetEvent(opened);
    WaitForSingleObject(release, 10000);
    if (ok) CloseClipboard();
    DestroyWindow(holderWindow);
  });
  WaitForSingleObject(opened, 10000);
  // (No ASSERT before the join: leaving with the thread running would abort.)
  EXPECT_NE(nullptr, holderWindow);
  EXPECT_EQ(holderWindow, GetOpenClipboardWindow());

  std::vector<HWND> openFor;
  CScriptedBoxes boxes({NotingClipboard(openFor, IDOK)}, IDOK);
  Press(IDC_MAIN_CONVERT_CLIPBOARD);
  SetEvent(release);
  holder.join();
  opened.Close();
  release.Close();

  ASSERT_EQ(1u, boxes.m_Boxes.size());
  EXPECT_EQ("There was an error converting the text on the clipboard (1).", boxes.m_Boxes[0].text);
  EXPECT_EQ(kRefusal, boxes.m_Boxes[0].type);
  // Still the other program's while the error shows.
  EXPECT_EQ(std::vector<HWND>{holderWindow}, openFor);
  EXPECT_EQ("a\tb", ClipboardText());
  EXPECT_TRUE(IsOpen());
}

// A clipboard manager or a remote desktop holds the clipboard for a moment:
// the command asks again for a short while before it gives error 1.
TEST_F(ConvertClipboard, AClipboardHeldForAMomentIsWaitedFor) {
  PutText("a\tb");
  CHandle opened(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  std::thread holder([&] {
    HWND window = CreateWindowExA(0, "STATIC", "holder", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    BOOL ok = OpenClipboard(window);
    SetEvent(opened);
    Sleep(200);
    if (ok) CloseClipboard();
    DestroyWindow(window);
  });
  WaitForSingleObject(opened, 10000);
  SetText(IDC_MAIN_TABS, "8");
  CScriptedBoxes boxes({IDYES}, IDYES);
  const DWORD start = GetTickCount();
  Press(IDC_MAIN_CONVERT_CLIPBOARD);
  const DWORD took = GetTickCount() - start;
  holder.join();
  ASSERT_EQ(1u, boxes.m_Boxes.size());
  EXPECT_EQ("1 tabs converted.\n\nDo you want to continue to use Orvane Zenvero?", boxes.m_Boxes[0].text);
  EXPECT_EQ("a       b", ClipboardText());
  EXPECT_LT(took, 2000u) << "the wait is bounded";
  EXPECT_TRUE(IsOpen());
}

}  // namespace
