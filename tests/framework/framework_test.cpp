// Message maps, dialogs, window objects and the hooked file dialog, on real
// windows and the program's real templates; the owners of handles, GDI
// objects, global memory and the clipboard.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "framework/clipboard.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/file_dialog.h"
#include "framework/gdi.h"
#include "framework/handle.h"
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
const MessageMap CProbeApp::kMessageMap = MakeMessageMap(&CCmdTarget::kMessageMap, kMessageEntries);
CProbeApp g_app;

// A dialog on the About template that can fail in its initialisation or in
// a command handler, and overrides IDOK through its own table.
class CProbeDlg : public CDialog {
 public:
  CProbeDlg() : CDialog(IDD_ABOUTBOX, nullptr, &g_app) {}
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
const MessageMap CProbeDlg::kMessageMap = MakeMessageMap(&CDialog::kMessageMap, kMessageEntries);

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
const MessageMap CProbeWnd::kMessageMap =
    MakeMessageMap(&CCmdTarget::kMessageMap, kMessageEntries);

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

// A control of ours that fails on WM_APP.
class CFailingControl : public CWnd {
 public:
  const MessageMap* GetMessageMap() const override { return &kMessageMap; }
  static const MessageMapEntry kMessageEntries[];
  static const MessageMap kMessageMap;

 private:
  LRESULT OnApp(WPARAM, LPARAM) { throw std::out_of_range("control failed"); }
};
const MessageMapEntry CFailingControl::kMessageEntries[] = {
    MapMessage(WM_APP, &CFailingControl::OnApp),
};
const MessageMap CFailingControl::kMessageMap =
    MakeMessageMap(&CCmdTarget::kMessageMap, kMessageEntries);

TEST(Window, AControlsExceptionEndsTheDialogItSitsInAndDoModalRethrowsIt) {
  static CFailingControl control;
  // From inside the modal loop, once the box exists: the OK button becomes
  // the failing control and is made to fail.
  struct Failer {
    static void CALLBACK Timer(HWND, UINT, UINT_PTR id, DWORD) {
      HWND box = FindWindowA("#32770", "About Orvane Zenvero");
      if (box == nullptr) return;
      KillTimer(nullptr, id);
      if (control.SubclassDlgItem(IDOK, box)) PostMessageA(control, WM_APP, 0, 0);
    }
  };
  CProbeDlg dlg;
  SetTimer(nullptr, 0, 10, Failer::Timer);
  EXPECT_THROW(dlg.DoModal(), std::out_of_range);
  EXPECT_EQ(nullptr, control.m_hWnd);  // let go with its window
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
const MessageMap CCaretAtStartRichEdit::kMessageMap =
    MakeMessageMap(&CCmdTarget::kMessageMap, kMessageEntries);

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

// A dialog whose WM_SETTEXT handler leaves the storing of the text to the
// dialog manager (Default()).
class CDefaultingDlg : public CDialog {
 public:
  CDefaultingDlg() : CDialog(IDD_ABOUTBOX) {}
  std::string m_strSeen;
  const MessageMap* GetMessageMap() const override { return &kMessageMap; }
  static const MessageMapEntry kMessageEntries[];
  static const MessageMap kMessageMap;

 private:
  LRESULT OnSetText(WPARAM, LPARAM lParam) {
    m_strSeen = reinterpret_cast<const char*>(lParam);
    return Default();
  }
};
const MessageMapEntry CDefaultingDlg::kMessageEntries[] = {
    MapMessage(WM_SETTEXT, &CDefaultingDlg::OnSetText),
};
const MessageMap CDefaultingDlg::kMessageMap =
    MakeMessageMap(&CDialog::kMessageMap, kMessageEntries);

TEST(Dialog, TheObjectIsFoundBehindItsWindowAndDefaultLeavesTheMessageToTheSystem) {
  CDefaultingDlg dlg;
  ASSERT_TRUE(dlg.Create());
  EXPECT_EQ(&dlg, CWnd::FromHandlePermanent(dlg));
  dlg.SetWindowText("changed");
  EXPECT_EQ("changed", dlg.m_strSeen);
  EXPECT_EQ("changed", dlg.GetWindowText());
  dlg.DestroyWindow();
  EXPECT_EQ(nullptr, dlg.m_hWnd);
}

// The same through the file dialog's hook: the object behind the hooked
// window, and Default() in a handler of its own map.
class CDefaultingFolderDlg : public CFileDialog {
 public:
  explicit CDefaultingFolderDlg(HWND parent)
      : CFileDialog(false, nullptr, nullptr, OFN_HIDEREADONLY | OFN_ENABLETEMPLATE, nullptr,
                    parent) {
    m_ofn.Flags &= ~OFN_EXPLORER;
    m_ofn.lpTemplateName = MAKEINTRESOURCEA(IDD_SELFINSTALL_CHOOSE_FOLDER);
  }
  bool m_bFound = false;
  std::string m_strSeen;
  std::string m_strTitle;
  const MessageMap* GetMessageMap() const override { return &kMessageMap; }
  static const MessageMapEntry kMessageEntries[];
  static const MessageMap kMessageMap;

 protected:
  BOOL OnInitDialog() override {
    m_bFound = CWnd::FromHandlePermanent(m_hWnd) == this;
    SetWindowText("hooked");
    m_strTitle = GetWindowText();
    PostMessage(WM_COMMAND, IDCANCEL, 0);
    return FALSE;
  }

 private:
  LRESULT OnSetText(WPARAM, LPARAM lParam) {
    m_strSeen = reinterpret_cast<const char*>(lParam);
    return Default();
  }
};
const MessageMapEntry CDefaultingFolderDlg::kMessageEntries[] = {
    MapMessage(WM_SETTEXT, &CDefaultingFolderDlg::OnSetText),
};
const MessageMap CDefaultingFolderDlg::kMessageMap =
    MakeMessageMap(&CFileDialog::kMessageMap, kMessageEntries);

TEST(FileDialog, TheHookFindsTheObjectAndDefaultLeavesTheMessageToTheSystem) {
  CProbeDlg owner;
  ASSERT_TRUE(owner.Create());
  CDefaultingFolderDlg dlg(owner);
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  EXPECT_TRUE(dlg.m_bFound);
  EXPECT_EQ("hooked", dlg.m_strSeen);
  EXPECT_EQ("hooked", dlg.m_strTitle);
  EXPECT_EQ(nullptr, dlg.m_hWnd);
}

// ---- owners ------------------------------------------------------------------

bool IsOpenHandle(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != FALSE;
}

HANDLE NewEvent() { return CreateEventA(nullptr, TRUE, FALSE, nullptr); }

TEST(Handle, EachHandleIsClosedOnceWhereverItWasMoved) {
  CHandle first(NewEvent());
  ASSERT_TRUE(first.IsValid());
  const HANDLE moved = first;
  CHandle second(std::move(first));
  CHandle third(NewEvent());
  const HANDLE replaced = third;
  third = std::move(second);
  EXPECT_FALSE(IsOpenHandle(replaced));  // the handle it held before
  EXPECT_FALSE(first.IsValid());
  EXPECT_FALSE(second.IsValid());
  EXPECT_EQ(moved, third.Get());
  EXPECT_TRUE(third.Close());
  EXPECT_FALSE(IsOpenHandle(moved));

  // Freed slots go to the next handles; an owner that closed again would
  // close these.
  CHandle next(NewEvent());
  CHandle after(NewEvent());
  first.Close();
  second.Close();
  third.Close();
  EXPECT_TRUE(IsOpenHandle(next));
  EXPECT_TRUE(IsOpenHandle(after));
}

TEST(Handle, NullAndInvalidHandleValueOwnNothing) {
  for (HANDLE none : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
    SetLastError(0xdeadbeef);
    {
      CHandle owner(none);
      EXPECT_FALSE(owner.IsValid());
      EXPECT_TRUE(owner.Close());
    }
    // Closing null would fail and set the error. (Closing
    // INVALID_HANDLE_VALUE, the process's own pseudo handle, does nothing:
    // there IsValid is the difference that counts.)
    EXPECT_EQ(0xdeadbeefu, GetLastError()) << none;
  }
}

// A folder with three files under the temporary folder, removed again.
class CFolderOfThree {
 public:
  CFolderOfThree() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    m_strPath = std::string(temp) + "fw-find-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(m_strPath.c_str(), nullptr);
    for (const char* name : kNames) {
      CHandle(CreateFileA((m_strPath + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)).Close();
    }
  }
  ~CFolderOfThree() {
    for (const char* name : kNames) DeleteFileA((m_strPath + "\\" + name).c_str());
    RemoveDirectoryA(m_strPath.c_str());
  }
  std::string Pattern(const char* name) const { return m_strPath + "\\" + name; }

 private:
  static constexpr const char* kNames[] = {"a.txt", "b.txt", "c.dat"};
  std::string m_strPath;
};

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FindFile, VisitsEveryEntryAsALoopOrARangeAndClosesAfterTheLast) {
  CFolderOfThree folder;
  std::vector<std::string> names;
  CFindFile all(folder.Pattern("*").c_str());
  for (const WIN32_FIND_DATAA& entry : all) names.push_back(entry.cFileName);
  EXPECT_EQ((std::vector<std::string>{".", "..", "a.txt", "b.txt", "c.dat"}), Sorted(names));
  EXPECT_FALSE(all.IsValid());

  names.clear();
  for (CFindFile text(folder.Pattern("*.txt").c_str()); text.IsValid(); text.Next()) {
    names.push_back(text.Data().cFileName);
  }
  EXPECT_EQ((std::vector<std::string>{"a.txt", "b.txt"}), Sorted(names));

  // A search moved half-way goes on where it was.
  names.clear();
  CFindFile first(folder.Pattern("*").c_str());
  ASSERT_TRUE(first.IsValid());
  names.push_back(first.Data().cFileName);
  first.Next();
  CFindFile rest(std::move(first));
  EXPECT_FALSE(first.IsValid());
  EXPECT_FALSE(first.Next());
  for (const WIN32_FIND_DATAA& entry : rest) names.push_back(entry.cFileName);
  EXPECT_EQ((std::vector<std::string>{".", "..", "a.txt", "b.txt", "c.dat"}), Sorted(names));

  CFindFile none(folder.Pattern("*.none").c_str());
  EXPECT_FALSE(none.IsValid());
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  for (const WIN32_FIND_DATAA& entry : none) ADD_FAILURE() << entry.cFileName;
}

TEST(ProcessInformation, ClosesTheProcessAndTheThreadHandleTogether) {
  PROCESS_INFORMATION info = {};
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(),
                              &info.hProcess, 0, FALSE, DUPLICATE_SAME_ACCESS));
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(),
                              &info.hThread, 0, FALSE, DUPLICATE_SAME_ACCESS));
  info.dwProcessId = GetCurrentProcessId();
  {
    CProcessInformation started(info);
    CProcessInformation owner;
    owner = std::move(started);
    EXPECT_FALSE(started.IsValid());
    EXPECT_EQ(nullptr, started.Thread());
    EXPECT_EQ(info.hProcess, owner.Process());
    EXPECT_EQ(info.hThread, owner.Thread());
    EXPECT_EQ(GetCurrentProcessId(), owner.ProcessId());
    EXPECT_TRUE(IsOpenHandle(info.hProcess));
    EXPECT_TRUE(IsOpenHandle(info.hThread));
  }
  EXPECT_FALSE(IsOpenHandle(info.hProcess));
  EXPECT_FALSE(IsOpenHandle(info.hThread));
}

TEST(MovableOwners, GdiObjectsAndASelectionActOnceThroughTheirLastOwner) {
  LOGFONTA logFont = {};
  logFont.lfHeight = -12;
  CFont first;
  ASSERT_TRUE(first.CreateFontIndirect(logFont));
  const HFONT font = first;
  HDC dc = CreateCompatibleDC(nullptr);
  const HGDIOBJ original = GetCurrentObject(dc, OBJ_FONT);
  {
    CFont second(std::move(first));
    CFont third;
    third = std::move(second);
    EXPECT_EQ(nullptr, static_cast<HFONT>(first));
    EXPECT_EQ(nullptr, static_cast<HFONT>(second));
    EXPECT_EQ(font, static_cast<HFONT>(third));

    CSelectObject selected(dc, third);
    CSelectObject kept(std::move(selected));
    selected.Restore();  // owns nothing any more
    EXPECT_EQ(static_cast<HGDIOBJ>(font), GetCurrentObject(dc, OBJ_FONT));
    kept.Restore();
    EXPECT_EQ(original, GetCurrentObject(dc, OBJ_FONT));
    EXPECT_EQ(static_cast<DWORD>(OBJ_FONT), GetObjectType(font));
  }
  EXPECT_EQ(0u, GetObjectType(font));
  DeleteDC(dc);

  CBrush brush(RGB(1, 2, 3));
  const HBRUSH handle = brush;
  {
    CBrush taken;
    taken = std::move(brush);
    EXPECT_EQ(nullptr, static_cast<HBRUSH>(brush));
    EXPECT_EQ(handle, static_cast<HBRUSH>(taken));
  }
  EXPECT_EQ(0u, GetObjectType(handle));
}

TEST(MovableOwners, GlobalMemoryAndItsLockAreFreedAndUndoneOnce) {
  CGlobalMemory first(GMEM_MOVEABLE, 16);
  const HGLOBAL block = first.Get();
  ASSERT_NE(nullptr, block);
  CGlobalMemory second(std::move(first));
  EXPECT_EQ(nullptr, first.Get());
  {
    CGlobalLock lock(second.Get());
    ASSERT_NE(nullptr, lock.Get());
    CGlobalLock kept(std::move(lock));
    lock.Unlock();  // owns nothing any more
    EXPECT_EQ(nullptr, lock.Get());
    EXPECT_EQ(1u, GlobalFlags(block) & GMEM_LOCKCOUNT);
  }
  EXPECT_EQ(0u, GlobalFlags(block) & GMEM_LOCKCOUNT);

  CGlobalMemory third(GMEM_MOVEABLE, 16);
  const HGLOBAL replaced = third.Get();
  third = std::move(second);
  EXPECT_EQ(static_cast<UINT>(GMEM_INVALID_HANDLE), GlobalFlags(replaced));
  first.Free();
  second.Free();
  EXPECT_EQ(16u, GlobalSize(block));
  third.Free();
  EXPECT_EQ(static_cast<UINT>(GMEM_INVALID_HANDLE), GlobalFlags(block));
}

TEST(MovableOwners, TheClipboardStaysOpenUntilItsLastOwnerCloses) {
  CProbeDlg window;
  ASSERT_TRUE(window.Create());
  CClipboard target(window);
  target.Close();  // a closed owner to move into
  {
    CClipboard first(window);
    ASSERT_TRUE(first.IsOpen());
    CClipboard second(std::move(first));
    target = std::move(second);
    EXPECT_FALSE(first.IsOpen());
    EXPECT_FALSE(second.IsOpen());
    EXPECT_TRUE(target.IsOpen());
    first.Close();
    second.Close();
    EXPECT_EQ(window.m_hWnd, GetOpenClipboardWindow());
  }
  EXPECT_EQ(window.m_hWnd, GetOpenClipboardWindow());
  target.Close();
  EXPECT_EQ(nullptr, GetOpenClipboardWindow());
}

}  // namespace
