// Help through HTML Help while the program's .chm lies beside it: Help and F1
// in the main window, the About box and the results dialog open the page of
// their window; without the file, or when HTML Help does not open, WinHelp
// is asked as before. The viewer's calls are recorded through the
// application's seam; one test lets the real HtmlHelpA open its window.
#include <windows.h>
#include <htmlhelp.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>

#include "app/convert_multiple_dlg.h"
#include "app/main_dlg.h"
#include "app_base/module.h"
#include "resources/resource.h"
#include "tests/app/test_app.h"

namespace {

const char kTitle[] = "Orvane Zenvero";

std::string ChmBesideTheProgram() {
  std::string path = GetModulePath();
  return path.substr(0, path.rfind('.')) + ".chm";
}

std::string BuiltChm() {
  // The build tree's file as Wine's Z: drive sees it.
  std::string path = "Z:" VELMORA_CHM_FILE;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

class HtmlHelpRouting : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSettings();
    TestApp().Start("Velmora.exe");
    ASSERT_TRUE(CopyFileA(BuiltChm().c_str(), ChmBesideTheProgram().c_str(), FALSE))
        << BuiltChm();
  }
  void TearDown() override {
    TestApp().m_pMainWnd = nullptr;
    DeleteFileA(ChmBesideTheProgram().c_str());
    ClearSettings();
  }
  static std::string Topic(const char* page) { return ChmBesideTheProgram() + "::/" + page; }
};

// Posts F1 to the window that has the focus (or to `window`).
void PressF1(HWND window) {
  HWND focus = GetFocus();
  PostMessageA(focus != nullptr ? focus : window, WM_KEYDOWN, VK_F1, 0);
}

// Acts on windows of this thread as they first become active, by caption:
// each action runs once. (One WH_CBT hook for all, so that the main window
// and a box over it can both be scripted.)
class CFirstActivation {
 public:
  explicit CFirstActivation(std::map<std::string, std::function<void(HWND)>> actions)
      : m_actions(std::move(actions)) {
    s_self = this;
    m_hook = SetWindowsHookExA(WH_CBT, Proc, nullptr, GetCurrentThreadId());
  }
  ~CFirstActivation() {
    UnhookWindowsHookEx(m_hook);
    s_self = nullptr;
  }
  CFirstActivation(const CFirstActivation&) = delete;
  CFirstActivation& operator=(const CFirstActivation&) = delete;
  std::map<std::string, HWND> m_seen;

 private:
  static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
    CFirstActivation* self = s_self;
    if (self != nullptr && code == HCBT_ACTIVATE) {
      HWND hwnd = reinterpret_cast<HWND>(wParam);
      char caption[256] = "";
      GetWindowTextA(hwnd, caption, sizeof caption);
      auto action = self->m_actions.find(caption);
      if (action != self->m_actions.end() && self->m_seen.count(caption) == 0) {
        self->m_seen[caption] = hwnd;
        action->second(hwnd);
      }
    }
    return CallNextHookEx(self != nullptr ? self->m_hook : nullptr, code, wParam, lParam);
  }
  static CFirstActivation* s_self;
  std::map<std::string, std::function<void(HWND)>> m_actions;
  HHOOK m_hook;
};
CFirstActivation* CFirstActivation::s_self = nullptr;

// Runs the main dialog modally as the program's main window; `onShown` acts
// once, when it is first active, and must see to its end. Returns the main
// window's handle.
HWND RunMain(const std::function<void(HWND)>& onShown,
             std::map<std::string, std::function<void(HWND)>> more = {}) {
  CMainDlg dlg(&TestApp());
  more[kTitle] = onShown;
  CFirstActivation script(std::move(more));
  TestApp().m_pMainWnd = &dlg;
  dlg.DoModal();
  TestApp().m_pMainWnd = nullptr;
  return script.m_seen.count(kTitle) != 0 ? script.m_seen[kTitle] : nullptr;
}

TEST_F(HtmlHelpRouting, HelpAndF1OpenThePageOfTheirWindowAndClosingClosesTheViewer) {
  struct Case {
    const char* how;
    const char* page;
    std::function<void(HWND)> act;  // on the shown main window
  };
  const Case cases[] = {
      {"the Help button", "TheOrvaneZenverowindow.html",
       [](HWND main) {
         PostMessageA(GetDlgItem(main, ID_HELP), BM_CLICK, 0, 0);
         PostMessageA(main, WM_COMMAND, IDCANCEL, 0);
       }},
      {"F1 in the main window", "TheOrvaneZenverowindow.html",
       [](HWND main) {
         PressF1(main);
         PostMessageA(main, WM_COMMAND, IDCANCEL, 0);
       }},
      {"F1 in the About box", "AboutOrvaneZenvero.html",
       [](HWND main) { PostMessageA(GetDlgItem(main, IDC_MAIN_ABOUT), BM_CLICK, 0, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    TestApp().m_HtmlHelpCalls.clear();
    TestApp().m_HelpCalls.clear();
    // The About box, when it comes: F1, then OK, then the main window ends.
    HWND main = RunMain(c.act, {{"About Orvane Zenvero", [](HWND box) {
                                   PressF1(box);
                                   PostMessageA(box, WM_COMMAND, IDOK, 0);
                                   PostMessageA(GetWindow(box, GW_OWNER), WM_COMMAND, IDCANCEL, 0);
                                 }}});
    ASSERT_NE(nullptr, main);
    ASSERT_EQ(2u, TestApp().m_HtmlHelpCalls.size());
    const CTestApp::HelpCall& open = TestApp().m_HtmlHelpCalls[0];
    EXPECT_EQ(main, open.window);
    EXPECT_EQ(Topic(c.page), open.file);
    EXPECT_EQ(static_cast<UINT>(HH_DISPLAY_TOPIC), open.command);
    EXPECT_EQ(0u, open.data);
    const CTestApp::HelpCall& close = TestApp().m_HtmlHelpCalls[1];
    EXPECT_EQ(nullptr, close.window);
    EXPECT_EQ("", close.file);
    EXPECT_EQ(static_cast<UINT>(HH_CLOSE_ALL), close.command);
    // WinHelp is not asked at all, not even to quit.
    EXPECT_TRUE(TestApp().m_HelpCalls.empty());
  }
  EXPECT_TRUE(TestApp().m_Boxes.empty());
}

TEST_F(HtmlHelpRouting, F1InTheResultsDialogOpensItsPage) {
  CConvertMultipleDlg results(nullptr, &TestApp());
  results.m_strReport = "C:\\a.txt 0 tabs converted";
  CFirstActivation script({{"Convert Multiple Files", [](HWND box) {
                              PressF1(box);
                              PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
                            }}});
  results.DoModal();
  EXPECT_EQ(1u, script.m_seen.size());
  ASSERT_EQ(1u, TestApp().m_HtmlHelpCalls.size());
  EXPECT_EQ(Topic("ConvertMultipleFilestheresults.html"), TestApp().m_HtmlHelpCalls[0].file);
  EXPECT_EQ(static_cast<UINT>(HH_DISPLAY_TOPIC), TestApp().m_HtmlHelpCalls[0].command);
  EXPECT_TRUE(TestApp().m_HelpCalls.empty());
}

TEST_F(HtmlHelpRouting, AContextWithoutAPageOpensTheContents) {
  TestApp().WinHelp(0x20000 + 501, HELP_CONTEXT);
  TestApp().WinHelp(0, HELP_CONTENTS);
  ASSERT_EQ(2u, TestApp().m_HtmlHelpCalls.size());
  for (const CTestApp::HelpCall& call : TestApp().m_HtmlHelpCalls) {
    EXPECT_EQ(Topic("Contents.html"), call.file);
    EXPECT_EQ(static_cast<UINT>(HH_DISPLAY_TOPIC), call.command);
  }
  TestApp().WinHelp(0, HELP_QUIT);
  ASSERT_EQ(3u, TestApp().m_HtmlHelpCalls.size());
  EXPECT_EQ(static_cast<UINT>(HH_CLOSE_ALL), TestApp().m_HtmlHelpCalls[2].command);
  EXPECT_TRUE(TestApp().m_HelpCalls.empty());
}

TEST_F(HtmlHelpRouting, WithoutTheFileWinHelpIsAskedAsBefore) {
  ASSERT_TRUE(DeleteFileA(ChmBesideTheProgram().c_str()));
  HWND main = RunMain([](HWND shown) {
    PostMessageA(GetDlgItem(shown, ID_HELP), BM_CLICK, 0, 0);
    PostMessageA(shown, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_TRUE(TestApp().m_HtmlHelpCalls.empty());
  ASSERT_EQ(2u, TestApp().m_HelpCalls.size());
  std::string hlp = GetModulePath();
  hlp = hlp.substr(0, hlp.rfind('.')) + ".HLP";
  EXPECT_EQ(main, TestApp().m_HelpCalls[0].window);
  EXPECT_EQ(hlp, TestApp().m_HelpCalls[0].file);
  EXPECT_EQ(static_cast<UINT>(HELP_CONTEXT), TestApp().m_HelpCalls[0].command);
  EXPECT_EQ(0x20066u, TestApp().m_HelpCalls[0].data);
  EXPECT_EQ(static_cast<UINT>(HELP_QUIT), TestApp().m_HelpCalls[1].command);
}

TEST_F(HtmlHelpRouting, WhenTheViewerDoesNotOpenWinHelpIsAskedAndOnlyBothFailingIsReported) {
  TestApp().m_bHtmlHelpOpens = false;
  TestApp().WinHelp(0x20066, HELP_CONTEXT);
  ASSERT_EQ(1u, TestApp().m_HtmlHelpCalls.size());
  ASSERT_EQ(1u, TestApp().m_HelpCalls.size());
  EXPECT_EQ(0x20066u, TestApp().m_HelpCalls[0].data);
  EXPECT_TRUE(TestApp().m_Boxes.empty());

  TestApp().m_bHelpResult = FALSE;
  TestApp().WinHelp(0x20066, HELP_CONTEXT);
  ASSERT_EQ(1u, TestApp().m_Boxes.size());
  EXPECT_EQ("Failed to launch help.", TestApp().m_Boxes[0].text);

  // Only WinHelp was opened: only WinHelp is told to quit.
  TestApp().WinHelp(0, HELP_QUIT);
  EXPECT_EQ(2u, TestApp().m_HtmlHelpCalls.size());
  ASSERT_EQ(3u, TestApp().m_HelpCalls.size());
  EXPECT_EQ(static_cast<UINT>(HELP_QUIT), TestApp().m_HelpCalls[2].command);
  EXPECT_EQ(1u, TestApp().m_Boxes.size());
}

// Wine's viewer opens its window, but shows no page without Wine's Gecko
// (which Debian does not ship): the window and its title are what is seen.
TEST_F(HtmlHelpRouting, TheRealViewerOpensItsWindowAndClosesItWithTheProgram) {
  TestApp().m_bRealHtmlHelp = true;
  HWND viewer = nullptr;
  std::string caption;
  RunMain([&](HWND main) {
    SendMessageA(GetDlgItem(main, ID_HELP), BM_CLICK, 0, 0);
    for (int i = 0; i < 100 && viewer == nullptr; ++i) {
      PumpMessages();
      viewer = FindWindowA("HH Parent", nullptr);
      if (viewer == nullptr) Sleep(100);
    }
    char text[256] = "";
    if (viewer != nullptr) GetWindowTextA(viewer, text, sizeof text);
    caption = text;
    PostMessageA(main, WM_COMMAND, IDCANCEL, 0);
  });
  ASSERT_NE(nullptr, viewer) << "no HTML Help window";
  EXPECT_EQ("Orvane Zenvero Help", caption);
  ASSERT_EQ(2u, TestApp().m_HtmlHelpCalls.size());
  EXPECT_EQ(static_cast<UINT>(HH_CLOSE_ALL), TestApp().m_HtmlHelpCalls[1].command);
  for (int i = 0; i < 100 && IsWindow(viewer); ++i) {
    PumpMessages();
    Sleep(100);
  }
  EXPECT_FALSE(IsWindow(viewer)) << "the viewer stayed open";
}

}  // namespace
