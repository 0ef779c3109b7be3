// The main window on its real template: start-up from the command line, the
// boxes filled from the settings, the keys that end it, the clipboard button,
// help, the tab box and the file dialogs.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/main_dlg.h"
#include "app_base/settings.h"
#include "framework/file_dialog.h"
#include "resources/resource.h"
#include "tests/app/test_app.h"

namespace {

const char kTitle[] = "Orvane Zenvero";

std::string ItemText(HWND dlg, int id) {
  char text[1024] = "";
  GetDlgItemTextA(dlg, id, text, sizeof text);
  return text;
}

int ItemCount(HWND dlg, int id) {
  return static_cast<int>(SendDlgItemMessageA(dlg, id, CB_GETCOUNT, 0, 0));
}

std::string ListItem(HWND dlg, int id, int index) {
  char text[1024] = "";
  SendDlgItemMessageA(dlg, id, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
  return text;
}

void SetClipboardText(const char* text) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  size_t size = std::strlen(text) + 1;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size);
  std::memcpy(GlobalLock(memory), text, size);
  GlobalUnlock(memory);
  SetClipboardData(CF_TEXT, memory);
  CloseClipboard();
}

void EmptyTheClipboard() {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
}

void RememberNames() {
  WriteSettingString("Settings", "Tabs", "4");
  WriteSettingInt("Settings", "SourceNum", 2);
  WriteSettingString("Settings", "Source1", "C:\\recent.txt");
  WriteSettingString("Settings", "Source2", "C:\\older.txt");
  WriteSettingInt("Settings", "DestinationNum", 1);
  WriteSettingString("Settings", "Destination1", "C:\\out.txt");
  WriteSettingInt("Settings", "MultipleFilesNum", 1);
  WriteSettingString("Settings", "MultipleFiles1", "C:\\texts\\*.txt");
}

class MainDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSettings();
    TestApp().Start("Velmora.exe");
  }
  void TearDown() override {
    TestApp().m_pMainWnd = nullptr;
    ClearSettings();
  }
  // Opens the dialog modeless as the program's main window.
  void Open(CMainDlg& dlg) {
    ASSERT_TRUE(dlg.Create());
    TestApp().m_pMainWnd = &dlg;
    PumpMessages();
  }
};

TEST_F(MainDialog, OnAnEmptyRegistryShowsEightAndEmptyBoxes) {
  CMainDlg dlg(&TestApp());
  Open(dlg);
  EXPECT_EQ("8", ItemText(dlg, IDC_MAIN_TABS));
  for (int id : {IDC_MAIN_SOURCE, IDC_MAIN_DESTINATION, IDC_MAIN_PATTERN}) {
    EXPECT_EQ("", ItemText(dlg, id)) << id;
    EXPECT_EQ(0, ItemCount(dlg, id)) << id;
  }
  // Range 1 to 80, the minimum in the high word; no position set.
  EXPECT_EQ(0x00010050, SendDlgItemMessageA(dlg, IDC_MAIN_SPIN, UDM_GETRANGE, 0, 0));
  EXPECT_EQ(GetDlgItem(dlg, IDC_MAIN_TABS),
            reinterpret_cast<HWND>(SendDlgItemMessageA(dlg, IDC_MAIN_SPIN, UDM_GETBUDDY, 0, 0)));
  // Opening writes nothing but leaves the profile's key behind.
  EXPECT_EQ("none", GetSettingString("Settings", "Tabs", "none"));
  EXPECT_EQ(dlg.m_hIcon, reinterpret_cast<HICON>(SendMessageA(dlg, WM_GETICON, ICON_BIG, 0)));
  EXPECT_EQ(dlg.m_hIcon, reinterpret_cast<HICON>(SendMessageA(dlg, WM_QUERYDRAGICON, 0, 0)));
}

TEST_F(MainDialog, ShowsTheRememberedNamesAndTabs) {
  RememberNames();
  CMainDlg dlg(&TestApp());
  Open(dlg);
  EXPECT_EQ("4", ItemText(dlg, IDC_MAIN_TABS));
  EXPECT_EQ("C:\\recent.txt", ItemText(dlg, IDC_MAIN_SOURCE));
  ASSERT_EQ(2, ItemCount(dlg, IDC_MAIN_SOURCE));
  EXPECT_EQ("C:\\recent.txt", ListItem(dlg, IDC_MAIN_SOURCE, 0));
  EXPECT_EQ("C:\\older.txt", ListItem(dlg, IDC_MAIN_SOURCE, 1));
  EXPECT_EQ("C:\\out.txt", ItemText(dlg, IDC_MAIN_DESTINATION));
  EXPECT_EQ("C:\\texts\\*.txt", ItemText(dlg, IDC_MAIN_PATTERN));
}

TEST_F(MainDialog, TheCommandLineNameGoesOverTheSourceBoxOnly) {
  RememberNames();
  struct Case {
    const char* commandLine;
    const char* source;
  } cases[] = {
      {"Velmora.exe", "C:\\recent.txt"},
      {"Velmora.exe \"C:\\my texts\\a b.txt\"", "C:\\my texts\\a b.txt"},
      {"Velmora.exe C:\\my texts\\a b.txt", "C:\\my"},
      {"Velmora.exe /p C:\\x.txt", "C:\\recent.txt"},
      {"Velmora.exe /dde C:\\x.txt", "C:\\recent.txt"},
      {"Velmora.exe /INSTALL", "C:\\recent.txt"},
  };
  for (const Case& c : cases) {
    TestApp().Start(c.commandLine);
    std::string shown;
    int count = -1;
    CActivationHook hook(kTitle, [&](HWND dlg) {
      shown = ItemText(dlg, IDC_MAIN_SOURCE);
      count = ItemCount(dlg, IDC_MAIN_SOURCE);
      PostMessageA(GetDlgItem(dlg, IDC_MAIN_TABS), WM_KEYDOWN, VK_ESCAPE, 0);
    });
    EXPECT_FALSE(TestApp().InitializeInstance()) << c.commandLine;
    EXPECT_EQ(1, hook.m_nCalls) << c.commandLine;
    EXPECT_EQ(c.source, shown) << c.commandLine;
    EXPECT_EQ(2, count) << c.commandLine;  // the history list is unchanged
    EXPECT_EQ(nullptr, TestApp().m_pMainWnd);
  }
  EXPECT_EQ("Orvane", GetProfileRegistryKey());
  EXPECT_EQ("Zenvero", GetProfileName());
}

TEST_F(MainDialog, EnterAndEscapeEndIt) {
  struct Case {
    WPARAM key;
    int focus;
    INT_PTR result;
  } cases[] = {
      {VK_RETURN, IDC_MAIN_TABS, IDOK},
      {VK_RETURN, IDC_MAIN_SOURCE, IDOK},
      {VK_ESCAPE, IDC_MAIN_PATTERN, IDCANCEL},
  };
  for (const Case& c : cases) {
    CMainDlg dlg(&TestApp());
    CActivationHook hook(kTitle, [&](HWND hwnd) {
      HWND target = GetDlgItem(hwnd, c.focus);
      // A combo box's keys go to its edit field.
      HWND edit = FindWindowExA(target, nullptr, "Edit", nullptr);
      PostMessageA(edit != nullptr ? edit : target, WM_KEYDOWN, c.key, 0);
    });
    EXPECT_EQ(c.result, dlg.DoModal()) << c.focus;
  }
}

TEST_F(MainDialog, TheClipboardButtonFollowsTheClipboardOnActivation) {
  SetClipboardText("a\tb");
  CMainDlg dlg(&TestApp());
  Open(dlg);
  HWND button = GetDlgItem(dlg, IDC_MAIN_CONVERT_CLIPBOARD);
  EXPECT_TRUE(IsWindowEnabled(button));

  // Another window takes the activation; the clipboard empties meanwhile.
  CMainDlg other(&TestApp());
  ASSERT_TRUE(other.Create());
  SetActiveWindow(other);
  EmptyTheClipboard();
  EXPECT_TRUE(IsWindowEnabled(button));  // not followed while inactive
  SetActiveWindow(dlg);
  EXPECT_FALSE(IsWindowEnabled(button));

  SetActiveWindow(other);
  SetClipboardText("text");
  SetActiveWindow(dlg);
  EXPECT_TRUE(IsWindowEnabled(button));
  EmptyTheClipboard();
}

TEST_F(MainDialog, TheHelpButtonAsksForTheMainWindowsTopic) {
  CMainDlg dlg(&TestApp());
  Open(dlg);
  SendDlgItemMessageA(dlg, ID_HELP, BM_CLICK, 0, 0);
  ASSERT_EQ(1u, TestApp().m_HelpCalls.size());
  const CTestApp::HelpCall& call = TestApp().m_HelpCalls[0];
  EXPECT_EQ(static_cast<UINT>(HELP_CONTEXT), call.command);
  EXPECT_EQ(0x20066u, call.data);
  EXPECT_EQ(dlg.m_hWnd, call.window);
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string expected(path);
  expected = expected.substr(0, expected.rfind('.')) + ".HLP";
  EXPECT_EQ(expected, call.file);
  EXPECT_TRUE(TestApp().m_Boxes.empty());
}

TEST_F(MainDialog, F1InTheAboutBoxAsksForTheAboutTopic) {
  CMainDlg dlg(&TestApp());
  Open(dlg);
  CActivationHook hook("About Orvane Zenvero", [](HWND about) {
    HWND focus = GetFocus();
    PostMessageA(focus != nullptr ? focus : about, WM_KEYDOWN, VK_F1, 0);
    PostMessageA(about, WM_COMMAND, IDOK, 0);
  });
  SendDlgItemMessageA(dlg, IDC_MAIN_ABOUT, BM_CLICK, 0, 0);
  EXPECT_EQ(1, hook.m_nCalls);
  ASSERT_EQ(1u, TestApp().m_HelpCalls.size());
  EXPECT_EQ(0x20064u, TestApp().m_HelpCalls[0].data);
  EXPECT_EQ(static_cast<UINT>(HELP_CONTEXT), TestApp().m_HelpCalls[0].command);
}

TEST_F(MainDialog, AHelpFailureIsReportedAndClosingQuitsTheHelp) {
  CMainDlg dlg(&TestApp());
  Open(dlg);
  TestApp().m_bHelpResult = FALSE;
  SendDlgItemMessageA(dlg, ID_HELP, BM_CLICK, 0, 0);
  ASSERT_EQ(1u, TestApp().m_Boxes.size());
  EXPECT_EQ("Failed to launch help.", TestApp().m_Boxes[0].text);
  EXPECT_EQ(kTitle, TestApp().m_Boxes[0].caption);
  EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), TestApp().m_Boxes[0].type);

  SendMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(nullptr, dlg.m_hWnd);
  EXPECT_EQ(IDCANCEL, dlg.m_nModalResult);
  ASSERT_EQ(2u, TestApp().m_HelpCalls.size());
  EXPECT_EQ(static_cast<UINT>(HELP_QUIT), TestApp().m_HelpCalls[1].command);
  EXPECT_EQ(0u, TestApp().m_HelpCalls[1].data);
  EXPECT_EQ(1u, TestApp().m_Boxes.size());  // quitting the help reports nothing
}

TEST_F(MainDialog, TheTabListComesFromTheBoxAndTheTextIsStoredAsTyped) {
  CMainDlg dlg(&TestApp());
  Open(dlg);
  struct Case {
    const char* text;
    uint16_t width;
  } cases[] = {{"200", 200}, {"3", 3}, {"12 columns", 12}, {"abc", 1}, {"0", 1}};
  for (const Case& c : cases) {
    SetDlgItemTextA(dlg, IDC_MAIN_TABS, c.text);
    TabStopList stops = dlg.BuildTabStopList();
    ASSERT_EQ(1u, stops.GetSize()) << c.text;
    EXPECT_EQ(c.width, stops[0]) << c.text;
    EXPECT_EQ(c.text, GetSettingString("Settings", "Tabs", "")) << c.text;
  }
}

// Records what the file dialog would be shown with and answers for the user.
class CBrowseProbeDlg : public CMainDlg {
 public:
  CBrowseProbeDlg() : CMainDlg(&TestApp()) {}
  std::string m_strInitial, m_strTitle, m_strFilter;
  DWORD m_dwFlags = 0;
  bool m_bOpen = false;
  const char* m_pszChoice = nullptr;  // null: Cancel

 protected:
  bool RunFileDialog(CFileDialog& dialog) override {
    m_strInitial = dialog.m_ofn.lpstrFile;
    // The longest path the system takes, in bytes of the UTF-8 code page.
    EXPECT_EQ(static_cast<DWORD>(3 * MAX_PATH), dialog.m_ofn.nMaxFile);
    m_strTitle = dialog.m_ofn.lpstrTitle != nullptr ? dialog.m_ofn.lpstrTitle : "";
    const char* filter = dialog.m_ofn.lpstrFilter;
    m_strFilter.clear();
    for (const char* p = filter; p != nullptr && *p != '\0'; p += std::strlen(p) + 1) {
      m_strFilter += std::string(p) + "|";
    }
    m_dwFlags = dialog.m_ofn.Flags;
    if (m_pszChoice == nullptr) return false;
    std::strcpy(dialog.m_ofn.lpstrFile, m_pszChoice);
    return true;
  }
};

TEST_F(MainDialog, BrowseStartsFromTheBoxTextAndSetsTheChosenName) {
  CBrowseProbeDlg dlg;
  Open(dlg);
  SetDlgItemTextA(dlg, IDC_MAIN_SOURCE, "C:\\typed.txt");
  dlg.m_pszChoice = "C:\\chosen.txt";
  SendDlgItemMessageA(dlg, IDC_MAIN_BROWSE_SOURCE, BM_CLICK, 0, 0);
  EXPECT_EQ("C:\\typed.txt", dlg.m_strInitial);
  EXPECT_EQ("Browse", dlg.m_strTitle);
  EXPECT_EQ("All files (*.*)|*.*|", dlg.m_strFilter);
  const DWORD common = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
  EXPECT_EQ(common | OFN_FILEMUSTEXIST, dlg.m_dwFlags & (common | OFN_FILEMUSTEXIST));
  EXPECT_EQ(0u, dlg.m_dwFlags & OFN_OVERWRITEPROMPT);
  EXPECT_EQ("C:\\chosen.txt", ItemText(dlg, IDC_MAIN_SOURCE));

  // Save As: no file-must-exist, no replace question; Cancel keeps the text.
  SetDlgItemTextA(dlg, IDC_MAIN_DESTINATION, "C:\\kept.txt");
  dlg.m_pszChoice = nullptr;
  SendDlgItemMessageA(dlg, IDC_MAIN_BROWSE_DESTINATION, BM_CLICK, 0, 0);
  EXPECT_EQ(common, dlg.m_dwFlags & (common | OFN_FILEMUSTEXIST | OFN_OVERWRITEPROMPT));
  EXPECT_EQ("C:\\kept.txt", ItemText(dlg, IDC_MAIN_DESTINATION));
  EXPECT_EQ(0, ItemCount(dlg, IDC_MAIN_DESTINATION));  // histories untouched
}

TEST_F(MainDialog, ABoxTextLongerThanTheNameBufferIsCutToFit) {
  CBrowseProbeDlg dlg;
  Open(dlg);
  // Longer than the buffer, which holds the longest path the system takes
  // in bytes of the UTF-8 code page (3 * MAX_PATH with its final zero).
  std::string longName = "C:\\" + std::string(1000, 'x') + ".txt";
  SetDlgItemTextA(dlg, IDC_MAIN_SOURCE, longName.c_str());
  SendDlgItemMessageA(dlg, IDC_MAIN_BROWSE_SOURCE, BM_CLICK, 0, 0);
  EXPECT_EQ(longName.substr(0, 3 * MAX_PATH - 1), dlg.m_strInitial);
  EXPECT_EQ(longName, ItemText(dlg, IDC_MAIN_SOURCE));
}

TEST_F(MainDialog, TheRealOpenDialogCancelledLeavesTheText) {
  CMainDlg dlg(&TestApp());
  Open(dlg);
  SetDlgItemTextA(dlg, IDC_MAIN_SOURCE, "C:\\windows\\win.ini");
  char before[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, before);
  CActivationHook hook("Browse", [](HWND box) { PostMessageA(box, WM_COMMAND, IDCANCEL, 0); });
  SendDlgItemMessageA(dlg, IDC_MAIN_BROWSE_SOURCE, BM_CLICK, 0, 0);
  EXPECT_GE(hook.m_nCalls, 1);
  EXPECT_EQ("C:\\windows\\win.ini", ItemText(dlg, IDC_MAIN_SOURCE));
  char after[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, after);
  EXPECT_STREQ(before, after);
}

}  // namespace
