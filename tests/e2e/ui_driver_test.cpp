// The UI driver against the real program's main window and About box, and
// against a message box of this process: what it finds, types, presses and
// reads is what a user would see.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>

#include "framework/handle.h"
#include "tests/e2e/program_fixture.h"
#include "tests/settings/registry_probe.h"

namespace {

// This process shows message boxes of its own below; its display driver is
// loaded with its first window, after this.
const bool g_bUnmanaged = [] {
  char module[MAX_PATH];
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  std::string name = module;
  DisableWindowManagerWaits(name.substr(name.find_last_of('\\') + 1));
  return true;
}();

using UiDriver = ProgramTest;

TEST_F(UiDriver, FindsTheMainWindowTypesIntoItsBoxesAndExitEndsTheProgram) {
  SetRawDword(HKEY_CURRENT_USER, kSettingsPath, "SourceNum", 2);
  SetRawString(HKEY_CURRENT_USER, kSettingsPath, "Source1", "recent.txt");
  SetRawString(HKEY_CURRENT_USER, kSettingsPath, "Source2", "older.txt");
  ASSERT_NO_FATAL_FAILURE(StartProgram());

  EXPECT_EQ("8", GetControlText(m_hMain, 1004));
  EXPECT_EQ("recent.txt", GetControlText(m_hMain, 1005));
  EXPECT_EQ((std::vector<std::string>{"recent.txt", "older.txt"}), GetComboItems(GetDlgItem(m_hMain, 1005)));
  // The dialog manager gave the focus to the tab box.
  EXPECT_EQ(1004, GetFocusedControlId(m_hMain));
  MessageBoxInfo none;
  EXPECT_FALSE(IsMessageBox(m_hMain));
  EXPECT_FALSE(m_app.FindMessageBox(&none));

  // Typing replaces what the box held; a combo box takes it in its edit field.
  EXPECT_TRUE(TypeText(m_hMain, 1004, "12"));
  EXPECT_TRUE(TypeText(m_hMain, 1005, "C:\\some folder\\new name.txt"));
  EXPECT_TRUE(TypeText(m_hMain, 1006, "out.txt"));
  EXPECT_TRUE(TypeText(m_hMain, 1006, ""));
  EXPECT_EQ("", GetControlText(m_hMain, 1006));
  EXPECT_TRUE(SetControlText(m_hMain, 1015, "*.txt"));
  EXPECT_EQ("*.txt", GetControlText(m_hMain, 1015));
  // Typing does not touch the histories.
  EXPECT_EQ((std::vector<std::string>{"recent.txt", "older.txt"}), GetComboItems(GetDlgItem(m_hMain, 1005)));

  std::string picture = m_work / "main.bmp";
  ASSERT_TRUE(SaveWindowImage(m_hMain, picture));
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(picture, &bytes));
  RECT rect;
  GetWindowRect(m_hMain, &rect);
  EXPECT_EQ("BM", bytes.substr(0, 2));
  EXPECT_GT(bytes.size(), static_cast<size_t>((rect.right - rect.left) * (rect.bottom - rect.top) * 3));

  // No button press reaches a control that is not there.
  EXPECT_FALSE(PressButton(m_hMain, 4242));
  ASSERT_TRUE(PressButton(m_hMain, IDCANCEL));
  ExpectProgramEnds();
  // Nothing was converted, so nothing was stored.
  EXPECT_FALSE(HasSetting("Tabs"));
}

TEST_F(UiDriver, OpensTheAboutBoxAndClosesIt) {
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_TRUE(PressButton(m_hMain, 1009));
  HWND about = m_app.WaitForWindow({"About Orvane Zenvero", "#32770"});
  ASSERT_NE(nullptr, about);
  EXPECT_FALSE(IsMessageBox(about));
  EXPECT_EQ("Version 1.20", GetControlText(about, 1007));
  // The product name keeps its trademark sign under the program's UTF-8 code page.
  wchar_t product[64] = {};
  DWORD_PTR copied = 0;
  ASSERT_TRUE(SendMessageTimeoutW(GetDlgItem(about, 1006), WM_GETTEXT, 64, reinterpret_cast<LPARAM>(product),
                                  SMTO_NORMAL, 5000, &copied));
  EXPECT_TRUE(std::wstring(product) == L"Orvane Zenvero\u2122");
  EXPECT_FALSE(IsWindowEnabled(m_hMain));
  // The main window cannot be used while the box is up.
  EXPECT_FALSE(PressButton(m_hMain, IDCANCEL));

  ASSERT_TRUE(PressButton(about, IDOK));
  ASSERT_TRUE(WaitForWindowGone(about));
  ExpectMainWindowBack();
  ASSERT_TRUE(PressButton(m_hMain, IDCANCEL));
  ExpectProgramEnds();
}

TEST_F(UiDriver, KillEndsAProgramThatStillRuns) {
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_TRUE(PressButton(m_hMain, 1009));
  ASSERT_NE(nullptr, m_app.WaitForWindow({"About Orvane Zenvero", "#32770"}));
  EXPECT_FALSE(m_app.WaitForExit(200));
  const DWORD id = m_app.GetId();
  m_app.Kill();
  EXPECT_FALSE(m_app.IsRunning());
  CHandle gone(OpenProcess(SYNCHRONIZE, FALSE, id));
  if (gone.IsValid()) {
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(gone, 0));
  }
  CDrivenProcess missing;
  EXPECT_FALSE(missing.Start("\"" + GetDistFolder() + "NoSuchProgram.exe\""));
  EXPECT_FALSE(missing.IsRunning());
}

TEST_F(UiDriver, AttachesToAProgramFoundByItsWindow) {
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  HWND found = WaitForAnyWindow({kAppTitle, "#32770"});
  EXPECT_EQ(m_hMain, found);
  EXPECT_EQ(m_app.GetId(), ProcessOfWindow(found));
  const std::vector<DWORD> running = FindProcessesByName("velmora.EXE");
  EXPECT_NE(running.end(), std::find(running.begin(), running.end(), m_app.GetId()));

  CDrivenProcess attached;
  ASSERT_TRUE(attached.Attach(ProcessOfWindow(found)));
  EXPECT_EQ(m_hMain, attached.FindWindow({kAppTitle, "#32770"}));
  ASSERT_TRUE(PressButton(m_hMain, IDCANCEL));
  DWORD code = 1;
  EXPECT_TRUE(attached.WaitForExit(kUiWait, &code));
  EXPECT_EQ(0u, code);
  EXPECT_FALSE(attached.Attach(m_app.GetId() + 1000000));
}

TEST(UiDriverMessageBox, ReadsAMessageBoxAndPressesItsButtons) {
  struct Case {
    UINT style;
    std::vector<int> buttons;
    int press;
  } cases[] = {
      {MB_OK | MB_ICONEXCLAMATION, {IDOK}, IDOK},
      {MB_YESNO | MB_ICONQUESTION, {IDYES, IDNO}, IDNO},
  };
  for (const Case& c : cases) {
    int answer = 0;
    DWORD thread = 0;
    std::thread shower([&] {
      thread = GetCurrentThreadId();
      answer = MessageBoxA(nullptr, "First line.\n\nSecond line?", "A caption", c.style);
    });
    HWND window = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
      EnumThreadWindows(
          thread,
          [](HWND w, LPARAM p) -> BOOL {
            if (IsWindowVisible(w)) *reinterpret_cast<HWND*>(p) = w;
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&window));
      return window != nullptr && IsMessageBox(window);
    }));
    MessageBoxInfo box = ReadMessageBox(window);
    EXPECT_EQ("A caption", box.caption);
    EXPECT_EQ("First line.\n\nSecond line?", box.text);
    EXPECT_EQ(c.buttons, box.buttons) << c.style;
    EXPECT_TRUE(PressButton(window, c.press));
    shower.join();
    EXPECT_EQ(c.press, answer) << c.style;
  }
}

}  // namespace
