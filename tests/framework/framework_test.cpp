// Message maps, dialogs, window objects and the hooked file dialog, on real
// windows and the program's real templates.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/file_dialog.h"
#include "framework/win_app.h"
#include "resources/resource.h"

namespace {

const UINT kAppCommand = 40001;

// An application object whose map takes one command.
class CProbeApp : public CWinApp {
 public:
  CProbeApp() : CWinApp("Probe") {}
  int m_nCommands = 0;
  void OnProbeCommand() { ++m_nCommands; }
  const MessageMap* GetMessageMap() const override { return &kMessageMap; }
  static const MessageMapEntry kMessageEntries[];
  static const MessageMap kMessageMap;
};
const MessageMapEntry CProbeApp::kMessageEntries[] = {
    MapCommand(kAppCommand, &CProbeApp::OnProbeCommand),
};
const MessageMap CProbeApp::kMessageMap = {&CCmdTarget::kMessageMap, kMessageEntries, 1};
CProbeApp g_app;

// A dialog on the About template that can fail in its initialisation or in
// a command handler, and overrides IDOK through its own table.
class CProbeDlg : public CDialog {
 public:
  CProbeDlg() : CDialog(IDD_ABOUTBOX) {}
  bool m_bThrowInInit = false;
  bool m_bMissingControl = false;
  int m_nOk = 0;

  const MessageMap* GetMessageMap() const override { return &kMessageMap; }
  static const MessageMapEntry kMessageEntries[];
  static const MessageMap kMessageMap;

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    if (m_bThrowInInit) throw std::runtime_error("init failed");
    return TRUE;
  }
  void DoDataExchange(CDataExchange& dx) override {
    if (m_bMissingControl) DDX_Control(dx, 4242, m_missing);
  }

 private:
  void OnMyOk() { ++m_nOk; }
  void OnThrow() { throw std::logic_error("handler failed"); }
  CWnd m_missing;
};
const MessageMapEntry CProbeDlg::kMessageEntries[] = {
    MapCommand(IDOK, &CProbeDlg::OnMyOk),
    MapCommand(40002, &CProbeDlg::OnThrow),
};
const MessageMap CProbeDlg::kMessageMap = {&CDialog::kMessageMap, kMessageEntries, 2};

TEST(Dialog, TheDerivedTableWinsAndUnhandledCommandsReachTheApplication) {
  CProbeDlg dlg;
  ASSERT_TRUE(dlg.Create());
  SendMessageA(dlg, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(1, dlg.m_nOk);
  EXPECT_NE(nullptr, dlg.m_hWnd);  // the base's IDOK did not run
  SendMessageA(dlg, WM_COMMAND, kAppCommand, 0);
  EXPECT_EQ(1, g_app.m_nCommands);
  SendMessageA(dlg, WM_COMMAND, IDCANCEL, 0);  // the base's table
  EXPECT_EQ(nullptr, dlg.m_hWnd);
  EXPECT_EQ(IDCANCEL, dlg.m_nModalResult);
}

TEST(Dialog, ExceptionsInsideTheDialogAreRethrownAfterTheModalLoop) {
  {
    CProbeDlg dlg;
    dlg.m_bThrowInInit = true;
    EXPECT_THROW(dlg.DoModal(), std::runtime_error);
  }
  {
    CProbeDlg dlg;
    dlg.m_bMissingControl = true;
    EXPECT_THROW(dlg.DoModal(), std::runtime_error);
  }
  {
    // A command handler that throws ends the dialog; the next one runs normally.
    CProbeDlg dlg;
    // Posted from inside the modal loop, once the box exists.
    struct Poster {
      static void CALLBACK Timer(HWND, UINT, UINT_PTR id, DWORD) {
        HWND box = FindWindowA("#32770", "About Orvane Zenvero");
        if (box != nullptr) PostMessageA(box, WM_COMMAND, 40002, 0);
        KillTimer(nullptr, id);
      }
    };
    SetTimer(nullptr, 0, 10, Poster::Timer);
    EXPECT_THROW(dlg.DoModal(), std::logic_error);
  }
  CProbeDlg normal;
  struct Closer {
    static void CALLBACK Timer(HWND, UINT, UINT_PTR id, DWORD) {
      HWND box = FindWindowA("#32770", "About Orvane Zenvero");
      if (box != nullptr) PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
      KillTimer(nullptr, id);
    }
  };
  SetTimer(nullptr, 0, 10, Closer::Timer);
  EXPECT_EQ(IDCANCEL, normal.DoModal());
}

TEST(Dialog, DestroyingTheObjectDestroysAModelessWindow) {
  HWND hwnd = nullptr;
  {
    CProbeDlg dlg;
    ASSERT_TRUE(dlg.Create());
    hwnd = dlg.m_hWnd;
    EXPECT_EQ(static_cast<LRESULT>(IDD_ABOUTBOX),
              SendMessageA(hwnd, CDialog::HelpIdMessage(), 0, 0));
  }
  EXPECT_FALSE(IsWindow(hwnd));
}

// A window of its own registered class.
class CProbeWnd : public CWnd {
 public:
  std::string m_strSeen;
  bool m_bNcDestroyed = false;
  const MessageMap* GetMessageMap() const override { return &kMessageMap; }
  static const MessageMapEntry kMessageEntries[];
  static const MessageMap kMessageMap;

 protected:
  void PostNcDestroy() override { m_bNcDestroyed = true; }

 private:
  LRESULT OnSetText(WPARAM, LPARAM lParam) {
    m_strSeen = reinterpret_cast<const char*>(lParam);
    return Default();  // the default procedure stores the text
  }
};
const MessageMapEntry CProbeWnd::kMessageEntries[] = {
    MapMessage(WM_SETTEXT, &CProbeWnd::OnSetText),
};
const MessageMap CProbeWnd::kMessageMap = {&CCmdTarget::kMessageMap, kMessageEntries, 1};

TEST(Window, OwnClassDispatchesThroughItsMapAndLetsGoAtTheEnd) {
  const char* cls = CWnd::RegisterWndClass(CS_HREDRAW | CS_VREDRAW, LoadCursor(nullptr, IDC_ARROW));
  ASSERT_NE(nullptr, cls);
  EXPECT_STREQ(cls, CWnd::RegisterWndClass(CS_HREDRAW | CS_VREDRAW, LoadCursor(nullptr, IDC_ARROW)));
  CProbeWnd wnd;
  ASSERT_TRUE(wnd.CreateEx(0, cls, "first", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr));
  EXPECT_EQ(&wnd, CWnd::FromHandlePermanent(wnd));
  wnd.SetWindowText("second");
  EXPECT_EQ("second", wnd.m_strSeen);
  EXPECT_EQ("second", wnd.GetWindowText());
  HWND hwnd = wnd;
  wnd.DestroyWindow();
  EXPECT_TRUE(wnd.m_bNcDestroyed);
  EXPECT_EQ(nullptr, wnd.m_hWnd);
  EXPECT_FALSE(IsWindow(hwnd));

  HWND left = nullptr;
  {
    CProbeWnd scoped;
    ASSERT_TRUE(scoped.CreateEx(0, cls, "", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr));
    left = scoped;
  }
  EXPECT_FALSE(IsWindow(left));
}

// A rich edit control created over a placeholder that collapses its
// selection when it gets the focus.
class CCaretAtStartRichEdit : public CRichEditCtrl {
 public:
  const MessageMap* GetMessageMap() const override { return &kMessageMap; }
  static const MessageMapEntry kMessageEntries[];
  static const MessageMap kMessageMap;

 private:
  LRESULT OnSetFocus(WPARAM, LPARAM) {
    LRESULT result = Default();
    SetSel(0, 0);
    return result;
  }
};
const MessageMapEntry CCaretAtStartRichEdit::kMessageEntries[] = {
    MapMessage(WM_SETFOCUS, &CCaretAtStartRichEdit::OnSetFocus),
};
const MessageMap CCaretAtStartRichEdit::kMessageMap = {&CCmdTarget::kMessageMap, kMessageEntries,
                                                       1};

TEST(Window, ASubclassedRichEditRunsItsOwnHandlerAfterTheDefault) {
  CProbeDlg dlg;
  ASSERT_TRUE(dlg.Create());
  CCaretAtStartRichEdit edit;
  RECT rect = {10, 10, 200, 100};
  ASSERT_TRUE(edit.Create(0x50A30844, rect, dlg, 1006));
  edit.SetWindowText("licence text");
  edit.SendMessage(EM_SETSEL, 0, -1);
  edit.SetFocus();
  CHARRANGE range = {-1, -1};
  edit.SendMessage(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(0, range.cpMin);
  EXPECT_EQ(0, range.cpMax);
}

// The old-style save dialog reshaped by a template of ours, with the hook
// feeding this object's map.
class CProbeFolderDlg : public CFileDialog {
 public:
  explicit CProbeFolderDlg(HWND parent)
      : CFileDialog(false, nullptr, nullptr, OFN_HIDEREADONLY | OFN_ENABLETEMPLATE, nullptr,
                    parent) {
    m_ofn.Flags &= ~OFN_EXPLORER;
    m_ofn.lpTemplateName = MAKEINTRESOURCEA(IDD_SELFINSTALL_CHOOSE_FOLDER);
  }
  bool m_bInit = false;
  bool m_bHasFileName = false;

 protected:
  BOOL OnInitDialog() override {
    m_bInit = true;
    m_bHasFileName = GetDlgItem(IDC_CHOOSE_FILE_NAME).m_hWnd != nullptr;
    PostMessage(WM_COMMAND, IDCANCEL, 0);
    return FALSE;
  }
};

TEST(FileDialog, AnOldStyleTemplateIsHookedToTheObject) {
  CProbeDlg owner;
  ASSERT_TRUE(owner.Create());
  CProbeFolderDlg dlg(owner);
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  EXPECT_TRUE(dlg.m_bInit);
  EXPECT_TRUE(dlg.m_bHasFileName);
  EXPECT_EQ(static_cast<UINT>(IDD_SELFINSTALL_CHOOSE_FOLDER), dlg.m_nIDHelp);
  EXPECT_EQ(nullptr, dlg.m_hWnd);
}

}  // namespace
