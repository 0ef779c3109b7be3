#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/handle.h"
#include "framework/win_app.h"
#include "installer/backdrop.h"
#include "installer/close_programs.h"
#include "installer/installer_routines.h"
#include "tests/support/scoped_routines.h"
#include "tests/support/scripted_boxes.h"
#include "tests/support/temp_dir.h"

namespace {

const char kTitle[] = "Orvane Zenvero";
const char kCopyClass[] = "VelmoraTestCopy";
const char kQuestion[] = "Please exit the program Orvane Zenvero.";
const UINT kQuestionStyle = MB_OKCANCEL | MB_ICONEXCLAMATION;

// Runs the messages that are waiting for this thread's windows.
void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// Polls until done() holds, for at most five seconds (a synchronisation with
// another thread, not a measurement). This thread's windows are served
// meanwhile, as the system may talk to them while the other thread works.
bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 500; ++i) {
    if (done()) return true;
    PumpMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return done();
}

bool WaitForThread(HANDLE thread) {
  return WaitFor([thread] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; });
}

// A running copy: a top-level window with its own class and caption in a
// thread of its own that pumps its messages. It can open a modal message box
// (which disables it), stop pumping (hang), and refuse to end or to close.
struct CopyBehaviour {
  bool agreesToEnd = true;      // answer to WM_QUERYENDSESSION
  bool closesOnRequest = true;  // WM_CLOSE destroys the window
  bool goesWhenAsked = false;   // WM_QUERYENDSESSION destroys the window and answers 0
};

class CCopyWindow {
 public:
  CCopyWindow(const std::string& caption, const std::string& className = kCopyClass,
              CopyBehaviour behaviour = CopyBehaviour())
      : m_strCaption(caption),
        m_strClass(className),
        m_bAgreesToEnd(behaviour.agreesToEnd),
        m_bClosesOnRequest(behaviour.closesOnRequest),
        m_bGoesWhenAsked(behaviour.goesWhenAsked) {
    m_hReady.Attach(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    m_hRelease.Attach(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    m_hThread.Attach(CreateThread(nullptr, 0, ThreadProc, this, 0, &m_nThreadId));
    WaitFor([this] { return WaitForSingleObject(m_hReady, 0) == WAIT_OBJECT_0; });
  }
  ~CCopyWindow() {
    SetEvent(m_hRelease);
    m_bClosesOnRequest = true;
    EnumThreadWindows(m_nThreadId, CloseBox, 0);
    if (IsOpen()) PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
    if (!WaitForThread(m_hThread)) PostThreadMessageA(m_nThreadId, WM_QUIT, 0, 0);
    WaitForThread(m_hThread);
  }
  CCopyWindow(const CCopyWindow&) = delete;
  CCopyWindow& operator=(const CCopyWindow&) = delete;

  HWND Window() const { return m_hWnd; }
  bool IsOpen() const { return m_hWnd != nullptr && IsWindow(m_hWnd); }

  // Opens a message box owned by the window, as the copy's About box would.
  void OpenModalBox() {
    PostMessageA(m_hWnd, kOpenBox, 0, 0);
    ASSERT_TRUE(WaitFor([this] { return !IsWindowEnabled(m_hWnd); }));
  }
  // The user closes that box; the copy is idle again afterwards (under Wine
  // its thread may take a few seconds over the box's going).
  void CloseModalBox() {
    EnumThreadWindows(m_nThreadId, CloseBox, 0);
    ASSERT_TRUE(WaitFor([this] { return IsWindowEnabled(m_hWnd) != FALSE; }));
    DWORD_PTR ignored = 0;
    ASSERT_NE(0, SendMessageTimeoutA(m_hWnd, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored));
  }
  // Stops answering messages until Release.
  void Hang() {
    ResetEvent(m_hRelease);
    PostMessageA(m_hWnd, kHang, 0, 0);
    ASSERT_TRUE(WaitFor([this] { return m_bHung.load(); }));
  }
  void Release() { SetEvent(m_hRelease); }
  // The user ends the copy by hand (not through WM_CLOSE).
  void EndByHand() {
    PostMessageA(m_hWnd, kEnd, 0, 0);
    WaitForThread(m_hThread);
  }

  std::atomic<int> m_nQueries{0};
  std::atomic<int> m_nCloses{0};

 private:
  static const UINT kOpenBox = WM_APP + 1;
  static const UINT kHang = WM_APP + 2;
  static const UINT kEnd = WM_APP + 3;

  static DWORD WINAPI ThreadProc(void* param) {
    CCopyWindow* self = static_cast<CCopyWindow*>(param);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = self->m_strClass.c_str();
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassA(&windowClass);  // may be registered already
    self->m_hWnd = CreateWindowExA(0, self->m_strClass.c_str(), self->m_strCaption.c_str(),
                                   WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr,
                                   nullptr, GetModuleHandleA(nullptr), self);
    SetEvent(self->m_hReady);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    return 0;
  }

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<CCopyWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
    switch (msg) {
      case WM_QUERYENDSESSION:
        ++self->m_nQueries;
        if (self->m_bGoesWhenAsked) {
          DestroyWindow(hwnd);
          return FALSE;
        }
        return self->m_bAgreesToEnd ? TRUE : FALSE;
      case WM_CLOSE:
        ++self->m_nCloses;
        if (self->m_bClosesOnRequest) DestroyWindow(hwnd);
        return 0;
      case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
      case kOpenBox:
        MessageBoxA(hwnd, "About the copy", "Copy busy", MB_OK);
        return 0;
      case kEnd:
        DestroyWindow(hwnd);
        return 0;
      case kHang:
        self->m_bHung = true;
        WaitForSingleObject(self->m_hRelease, INFINITE);
        self->m_bHung = false;
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }

  // Closes the message box of the copy's thread; WM_CLOSE makes it return.
  static BOOL CALLBACK CloseBox(HWND hwnd, LPARAM) {
    char className[64] = "";
    GetClassNameA(hwnd, className, sizeof className);
    if (std::string(className) == "#32770") PostMessageA(hwnd, WM_CLOSE, 0, 0);
    return TRUE;
  }

  std::string m_strCaption;
  std::string m_strClass;
  std::atomic<bool> m_bAgreesToEnd;
  std::atomic<bool> m_bClosesOnRequest;
  std::atomic<bool> m_bGoesWhenAsked;
  HWND m_hWnd = nullptr;
  CHandle m_hThread;
  DWORD m_nThreadId = 0;
  CHandle m_hReady;
  CHandle m_hRelease;
  std::atomic<bool> m_bHung{false};
};

// The routines in use with a message wait of 500 ms.
CInstallerRoutines ShortWaits() {
  CInstallerRoutines routines = InstallerRoutines();
  routines.messageTimeout = 500;
  return routines;
}

// Questions beyond a test's script are answered Cancel, so that none can loop.
class ClosePrograms : public ::testing::Test {
 protected:
  void SetUp() override {
    // The installer's backdrop owns the questions; its caption never matches.
    m_Backdrop = std::make_unique<CBackdropWindow>();
    m_Backdrop->ShowWithTitle(SW_HIDE, "Setup");  // hidden: quicker under Wine
    m_hOwner = m_Backdrop->GetSafeHwnd();
    ASSERT_NE(nullptr, m_hOwner);
  }
  void TearDown() override { m_Backdrop.reset(); }
  CloseResult Close(const std::string& windowClass = "", const std::string& title = kTitle) {
    return CloseProgramWindows(m_hOwner, windowClass, title, kTitle);
  }

  CScopedRoutines<CInstallerRoutines> m_Routines{SetInstallerRoutines, ShortWaits()};
  std::unique_ptr<CBackdropWindow> m_Backdrop;
  HWND m_hOwner = nullptr;
};

TEST(CloseProgramsLimits, MessagesWaitFiveSecondsUnlessTold) {
  EXPECT_EQ(5000u, InstallerRoutines().messageTimeout);
  EXPECT_EQ(5000u, DefaultInstallerRoutines().messageTimeout);
}

TEST_F(ClosePrograms, NothingRunningOrNothingToLookFor) {
  CScriptedBoxes boxes(IDCANCEL);
  EXPECT_EQ(CloseResult::kClosed, Close());
  EXPECT_EQ(CloseResult::kClosed, Close("", ""));
  EXPECT_EQ(CloseResult::kClosed, CloseRunningPrograms(m_hOwner, "", kTitle, kTitle, {}));
  EXPECT_TRUE(boxes.m_Boxes.empty());
  EXPECT_TRUE(IsWindow(m_hOwner));
}

// Copies that agree to end are closed without a question, every one of them.
TEST_F(ClosePrograms, RunningCopiesCloseWithoutAQuestion) {
  CScriptedBoxes boxes(IDCANCEL);
  CCopyWindow first(kTitle);
  CCopyWindow second(kTitle, "SomeOtherProgram");  // any program with that exact caption
  ASSERT_TRUE(first.IsOpen() && second.IsOpen());
  EXPECT_EQ(CloseResult::kClosed, Close());
  EXPECT_FALSE(first.IsOpen());
  EXPECT_FALSE(second.IsOpen());
  EXPECT_EQ(1, first.m_nQueries);
  EXPECT_EQ(1, first.m_nCloses);
  EXPECT_TRUE(boxes.m_Boxes.empty());
}

// Only the whole caption, in its own letter case, is a copy.
TEST_F(ClosePrograms, CaptionsMustMatchExactly) {
  CScriptedBoxes boxes(IDCANCEL);
  std::vector<std::unique_ptr<CCopyWindow>> others;
  for (const char* caption : {"Orvane Zenvero Setup", "Orvane Zenvero Uninstall",
                              "Orvane Zenvero - notes.txt", "orvane zenvero", "Orvane Zenver",
                              " Orvane Zenvero"}) {
    others.push_back(std::make_unique<CCopyWindow>(caption));
  }
  EXPECT_EQ(CloseResult::kClosed, Close());
  for (const auto& other : others) {
    EXPECT_TRUE(other->IsOpen());
    EXPECT_EQ(0, other->m_nQueries);
  }
  EXPECT_TRUE(boxes.m_Boxes.empty());
}

// A class name, when given, is what counts; the caption is then ignored.
TEST_F(ClosePrograms, ByClassName) {
  CScriptedBoxes boxes(IDCANCEL);
  CCopyWindow tool("Anything at all", "VelmoraTestTool");
  CCopyWindow titled(kTitle);
  CCopyWindow similar("Anything at all", "VelmoraTestToolbar");
  EXPECT_EQ(CloseResult::kClosed, Close("VelmoraTestTool", kTitle));
  EXPECT_FALSE(tool.IsOpen());
  EXPECT_TRUE(titled.IsOpen());
  EXPECT_TRUE(similar.IsOpen());
  EXPECT_TRUE(boxes.m_Boxes.empty());
}

// A copy with a modal box open is disabled: the user is asked; after OK the
// search goes on and closes the copy once its box is gone, Cancel stops.
TEST_F(ClosePrograms, CopyWithAModalBoxAsksTheUser) {
  {
    SCOPED_TRACE("box closed, then OK");
    CCopyWindow copy(kTitle);
    copy.OpenModalBox();
    CScriptedBoxes boxes({[&] {
      copy.CloseModalBox();
      return IDOK;
    }}, IDCANCEL);
    EXPECT_EQ(CloseResult::kClosed, Close());
    EXPECT_FALSE(copy.IsOpen());
    ASSERT_EQ(1u, boxes.m_Boxes.size());
    EXPECT_EQ(kQuestion, boxes.m_Boxes[0].text);
    EXPECT_EQ(kQuestionStyle, boxes.m_Boxes[0].type);
    EXPECT_EQ(m_hOwner, boxes.m_Boxes[0].owner);
    EXPECT_EQ("Orvane Zenvero Setup", boxes.m_Boxes[0].caption);
    EXPECT_EQ(1, copy.m_nQueries);  // never asked while disabled
  }
  {
    SCOPED_TRACE("OK with the box still open asks again; then Cancel");
    CCopyWindow copy(kTitle);
    copy.OpenModalBox();
    CScriptedBoxes boxes({IDOK}, IDCANCEL);
    EXPECT_EQ(CloseResult::kCancelled, Close());
    EXPECT_TRUE(copy.IsOpen());
    EXPECT_EQ(2u, boxes.m_Boxes.size());
    EXPECT_EQ(0, copy.m_nQueries);
    EXPECT_EQ(0, copy.m_nCloses);
  }
}

// A copy that refuses to end is left to the user; once ended by hand the
// search finds nothing more.
TEST_F(ClosePrograms, RefusingCopyIsEndedByHand) {
  CopyBehaviour refuses;
  refuses.agreesToEnd = false;
  CCopyWindow copy(kTitle, kCopyClass, refuses);
  CScriptedBoxes boxes({[&] {
    copy.EndByHand();
    return IDOK;
  }}, IDCANCEL);
  EXPECT_EQ(CloseResult::kClosed, Close());
  EXPECT_FALSE(copy.IsOpen());
  EXPECT_EQ(1u, boxes.m_Boxes.size());
  EXPECT_EQ(0, copy.m_nCloses);
}

// A copy that is gone by the time its answer comes is nothing to ask about.
TEST_F(ClosePrograms, CopyGoneWhileAskedIsNotAskedAbout) {
  CopyBehaviour goes;
  goes.goesWhenAsked = true;
  CCopyWindow copy(kTitle, kCopyClass, goes);
  CScriptedBoxes boxes(IDCANCEL);
  EXPECT_EQ(CloseResult::kClosed, Close());
  EXPECT_FALSE(copy.IsOpen());
  EXPECT_EQ(1, copy.m_nQueries);
  EXPECT_TRUE(boxes.m_Boxes.empty());
}

// A hung copy cannot hold the search: its message gives up and the user is
// asked. Cancel stops; OK after it recovers closes it.
TEST_F(ClosePrograms, HungCopyEndsInTheQuestion) {
  {
    SCOPED_TRACE("Cancel");
    CCopyWindow copy(kTitle);
    copy.Hang();
    CScriptedBoxes boxes(IDCANCEL);
    EXPECT_EQ(CloseResult::kCancelled, Close());
    EXPECT_EQ(1u, boxes.m_Boxes.size());
    copy.Release();
  }
  {
    SCOPED_TRACE("recovers, then OK");
    CCopyWindow copy(kTitle);
    copy.Hang();
    CScriptedBoxes boxes({[&] {
      copy.Release();
      return IDOK;
    }}, IDCANCEL);
    EXPECT_EQ(CloseResult::kClosed, Close());
    EXPECT_FALSE(copy.IsOpen());
    EXPECT_EQ(1u, boxes.m_Boxes.size());
  }
}

// A copy that agrees to end but stays after WM_CLOSE gets WM_CLOSE once and
// is then left to the user instead of being met in pass after pass.
TEST_F(ClosePrograms, CopyThatStaysAfterCloseIsLeftToTheUser) {
  CopyBehaviour stays;
  stays.closesOnRequest = false;
  CCopyWindow copy(kTitle, kCopyClass, stays);
  CScriptedBoxes boxes({IDOK}, IDCANCEL);
  EXPECT_EQ(CloseResult::kCancelled, Close());
  EXPECT_EQ(1, copy.m_nCloses);
  EXPECT_EQ(2u, boxes.m_Boxes.size());
  EXPECT_TRUE(copy.IsOpen());
}

// The calling program's own main window is never one of the copies.
TEST_F(ClosePrograms, OwnMainWindowStays) {
  CWinApp app(kTitle);
  CWnd own(CreateWindowExA(0, "STATIC", kTitle, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr));
  app.m_pMainWnd = &own;
  CScriptedBoxes boxes(IDCANCEL);
  CCopyWindow copy(kTitle);
  EXPECT_EQ(CloseResult::kClosed, Close());
  EXPECT_FALSE(copy.IsOpen());
  EXPECT_TRUE(own.IsWindow());
  app.m_pMainWnd = nullptr;
  DestroyWindow(own);
}

// After the program itself, each further program in order; a Cancel for one
// leaves the later ones alone.
TEST_F(ClosePrograms, FurtherProgramsInOrder) {
  const std::vector<CSelfInstallProgram> more = {
      {"", "Other Tool", "Other Tool"},
      {"VelmoraTestHelper", "", "Helper"},
  };
  {
    SCOPED_TRACE("all close");
    CScriptedBoxes boxes(IDCANCEL);
    CCopyWindow copy(kTitle);
    CCopyWindow tool("Other Tool");
    CCopyWindow helper("Helper window", "VelmoraTestHelper");
    EXPECT_EQ(CloseResult::kClosed, CloseRunningPrograms(m_hOwner, "", kTitle, kTitle, more));
    EXPECT_FALSE(copy.IsOpen());
    EXPECT_FALSE(tool.IsOpen());
    EXPECT_FALSE(helper.IsOpen());
    EXPECT_TRUE(boxes.m_Boxes.empty());
  }
  {
    SCOPED_TRACE("Cancel for the first further program");
    CopyBehaviour refuses;
    refuses.agreesToEnd = false;
    CCopyWindow tool("Other Tool", kCopyClass, refuses);
    CCopyWindow helper("Helper window", "VelmoraTestHelper");
    bool ownerEnabled = true;
    CScriptedBoxes boxes({[&] {
      ownerEnabled = IsWindowEnabled(m_hOwner) != FALSE;  // the progress box is up
      return IDCANCEL;
    }}, IDCANCEL);
    EXPECT_EQ(CloseResult::kCancelled, CloseRunningPrograms(m_hOwner, "", kTitle, kTitle, more));
    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(m_hOwner));
    ASSERT_EQ(1u, boxes.m_Boxes.size());
    EXPECT_EQ("Please exit the program Other Tool.", boxes.m_Boxes[0].text);
    EXPECT_TRUE(helper.IsOpen());
    EXPECT_EQ(0, helper.m_nQueries);
  }
}

// A Restart Manager that lists processes as using the files until a
// shutdown is asked for them, except those that refuse to end.
struct FakeRestartManager {
  std::vector<std::wstring> files;      // registered, over all sessions
  std::vector<DWORD> users;             // the processes that use them
  std::vector<DWORD> refusing;          // stay after a shutdown
  std::vector<DWORD> shutDown;          // a shutdown was asked for these
  std::vector<DWORD> sessionProcesses;  // registered in the open session
  int openSessions = 0;
};
FakeRestartManager* g_rm = nullptr;

bool Holds(const std::vector<DWORD>& ids, DWORD id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }

DWORD WINAPI FakeRmStart(DWORD* session, DWORD, WCHAR[]) {
  *session = 7;
  ++g_rm->openSessions;
  g_rm->sessionProcesses.clear();
  return ERROR_SUCCESS;
}
DWORD WINAPI FakeRmEnd(DWORD) {
  --g_rm->openSessions;
  return ERROR_SUCCESS;
}
DWORD WINAPI FakeRmRegister(DWORD, UINT fileCount, LPCWSTR files[], UINT processCount, RM_UNIQUE_PROCESS processes[],
                            UINT, LPCWSTR[]) {
  for (UINT i = 0; i < fileCount; ++i) g_rm->files.push_back(files[i]);
  for (UINT i = 0; i < processCount; ++i) g_rm->sessionProcesses.push_back(processes[i].dwProcessId);
  return ERROR_SUCCESS;
}
DWORD WINAPI FakeRmList(DWORD, UINT* needed, UINT* count, RM_PROCESS_INFO processes[], LPDWORD reasons) {
  const std::vector<DWORD>& listed = g_rm->sessionProcesses.empty() ? g_rm->users : g_rm->sessionProcesses;
  *needed = static_cast<UINT>(listed.size());
  *reasons = 0;
  if (*count < listed.size()) {
    *count = 0;
    return ERROR_MORE_DATA;
  }
  for (size_t i = 0; i < listed.size(); ++i) {
    processes[i] = RM_PROCESS_INFO();
    processes[i].Process.dwProcessId = listed[i];
    lstrcpyW(processes[i].strAppName, L"Orvane Zenvero");
  }
  *count = static_cast<UINT>(listed.size());
  return ERROR_SUCCESS;
}
DWORD WINAPI FakeRmShutdown(DWORD, ULONG, RM_WRITE_STATUS_CALLBACK) {
  bool all = true;
  for (DWORD id : g_rm->sessionProcesses) {
    g_rm->shutDown.push_back(id);
    if (Holds(g_rm->refusing, id)) {
      all = false;
    } else {
      g_rm->users.erase(std::remove(g_rm->users.begin(), g_rm->users.end(), id), g_rm->users.end());
    }
  }
  return all ? ERROR_SUCCESS : 351;  // ERROR_FAIL_SHUTDOWN
}
CRestartManagerRoutines FakeRestartManagerRoutines() {
  return {FakeRmStart, FakeRmEnd, FakeRmRegister, FakeRmList, FakeRmShutdown};
}
CRestartManagerRoutines NoRestartManager() { return CRestartManagerRoutines(); }

class CloseFileUsersTest : public ClosePrograms {
 protected:
  void SetUp() override {
    ClosePrograms::SetUp();
    g_rm = &m_rm;
    m_file = m_dir / "Velmora.exe";
    ASSERT_TRUE(WriteWholeFile(m_file, "x"));
  }
  void TearDown() override {
    g_rm = nullptr;
    ClosePrograms::TearDown();
  }
  CloseResult CloseUsers(CRestartManagerRoutines (*restartManager)() = FakeRestartManagerRoutines) {
    CInstallerRoutines routines = InstallerRoutines();
    routines.restartManager = restartManager;
    CScopedRoutines<CInstallerRoutines> scope(SetInstallerRoutines, routines);
    return CloseRunningPrograms(m_hOwner, "", kTitle, kTitle, {}, {m_file, m_dir / "missing.txt"});
  }

  FakeRestartManager m_rm;
  CTempDir m_dir;
  std::string m_file;
};

// A copy in another session, seen only by the Restart Manager, is asked to
// end; this process, which uses the files itself, never is.
TEST_F(CloseFileUsersTest, ACopyInAnySessionIsAskedToEndAndThisProcessNever) {
  CScriptedBoxes boxes(IDCANCEL);
  m_rm.users = {4242, GetCurrentProcessId()};
  EXPECT_EQ(CloseResult::kClosed, CloseUsers());
  EXPECT_EQ(std::vector<DWORD>{4242}, m_rm.shutDown);
  EXPECT_TRUE(boxes.m_Boxes.empty());
  ASSERT_FALSE(m_rm.files.empty());
  for (const std::wstring& file : m_rm.files) EXPECT_EQ(L"Velmora.exe", file.substr(file.size() - 11));
  EXPECT_EQ(0, m_rm.openSessions);
}

// One that will not end is the user's: OK looks again, Cancel stops.
TEST_F(CloseFileUsersTest, ACopyThatWillNotEndIsLeftToTheUser) {
  CScriptedBoxes boxes({IDOK}, IDCANCEL);
  m_rm.users = {4343};
  m_rm.refusing = {4343};
  EXPECT_EQ(CloseResult::kCancelled, CloseUsers());
  EXPECT_EQ((std::vector<std::string>{kQuestion, kQuestion}), boxes.Texts());
  EXPECT_EQ(static_cast<UINT>(kQuestionStyle), boxes.m_Boxes[0].type);
  EXPECT_EQ((std::vector<DWORD>{4343, 4343}), m_rm.shutDown);
  EXPECT_EQ(0, m_rm.openSessions);
}

// Without the Restart Manager (Windows 95 to XP) the window search alone.
TEST_F(CloseFileUsersTest, WithoutTheRestartManagerTheWindowsAlone) {
  CScriptedBoxes boxes(IDCANCEL);
  m_rm.users = {4242};
  EXPECT_EQ(CloseResult::kClosed, CloseUsers(NoRestartManager));
  EXPECT_TRUE(m_rm.shutDown.empty());
  EXPECT_TRUE(boxes.m_Boxes.empty());
}

}  // namespace
