#include "installer/close_programs.h"

#include <map>
#include <set>

#include "framework/wait_cursor.h"
#include "framework/wide.h"
#include "framework/win_app.h"
#include "installer/backdrop.h"
#include "installer/install_job.h"
#include "installer/installer_routines.h"
#include "installer/program_of_process.h"
#include "installer/progress_box.h"
#include "installer/restart_manager.h"

namespace {

// A window that accepted WM_CLOSE gets as long as one message may take to go
// before the user is asked about it; passes that only wait for such windows
// pause in between.
const DWORD kWaitingPassPauseMs = 50;
// Passes that may still send WM_CLOSE (enough for the default wait). Beyond
// them every matching window goes to the user, so a program that keeps
// making new windows cannot keep the installer in its loop.
const int kMaxClosingPasses = 200;

struct CloseWindowsContext {
  int found = 0;  // a matching window was met in this pass
  int cancelled = 0;
  std::string windowClass;
  std::string windowTitle;
  std::string programName;
  HWND ownWindow = nullptr;  // never closed
  std::string ownProgram;    // the file name of the program whose copies are closed
  HWND owner = nullptr;
  int pass = 0;
  bool waiting = false;  // this pass met a window still going after WM_CLOSE
  std::map<HWND, DWORD> closeSent;  // window -> tick count of its WM_CLOSE
  std::set<HWND> passedOver;        // another program's windows, logged once
};

// The caption as the system keeps it: unlike GetWindowTextA this sends no
// WM_GETTEXT, so a hung window of this process cannot stop the search.
std::string CaptionOf(HWND window) {
  WCHAR wide[512];
  int length = InternalGetWindowText(window, wide, 512);
  if (length <= 0) return std::string();
  return WideToText(std::wstring(wide, length));
}

bool MatchesClassOrCaption(HWND window, const CloseWindowsContext& context) {
  if (!context.windowClass.empty()) {
    char name[257];  // class names have at most 256 characters
    int length = GetClassNameA(window, name, sizeof name);
    return length > 0 && context.windowClass == std::string(name, length);
  }
  if (!context.windowTitle.empty()) return CaptionOf(window) == context.windowTitle;
  return false;
}

// A window of the class or caption whose process runs this program (by its
// file name); where the system cannot tell a window's program, the class or
// caption alone.
bool Matches(HWND window, CloseWindowsContext& context) {
  if (!MatchesClassOrCaption(window, context)) return false;
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (MayRunProgram(processId, context.ownProgram)) return true;
  if (context.passedOver.insert(window).second)
    LogInstallStep("Leave the window \"" + CaptionOf(window) + "\" of " + ProgramFileOfProcess(processId) +
                 " (process " + std::to_string(processId) + "): not a copy of " + context.ownProgram);
  return false;
}

// Sends msg and waits for the answer within the limit; false when the window
// did not answer in time, is hung or is gone.
bool SendWithTimeout(HWND window, UINT msg, DWORD_PTR* answer) {
  return SendMessageTimeoutA(window, msg, 0, 0, SMTO_ABORTIFHUNG, InstallerRoutines().messageTimeout,
                             answer) != 0;
}

// Closes one matching window if it lets itself be closed; false when the
// user has to be asked.
bool TryToClose(HWND window, CloseWindowsContext& context) {
  if (context.pass > kMaxClosingPasses) return false;
  auto sent = context.closeSent.find(window);
  if (sent != context.closeSent.end()) {
    if (GetTickCount() - sent->second >= InstallerRoutines().messageTimeout) return false;
    context.waiting = true;  // still on its way out
    return true;
  }
  DWORD_PTR mayEnd = 0;
  if (!IsWindowEnabled(window) || !SendWithTimeout(window, WM_QUERYENDSESSION, &mayEnd) ||
      mayEnd == 0)
    return false;
  DWORD_PTR ignored = 0;
  SendWithTimeout(window, WM_CLOSE, &ignored);  // a late or missing answer is met next pass
  context.closeSent[window] = GetTickCount();   // its time to go starts now
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  LogInstallStep("Close the running copy \"" + CaptionOf(window) + "\" (process " +
                 std::to_string(processId) + "): asked to close");
  return true;
}

BOOL CALLBACK CloseWindowProc(HWND window, LPARAM param) {
  CloseWindowsContext& context = *reinterpret_cast<CloseWindowsContext*>(param);
  try {
    if (window == context.ownWindow || !Matches(window, context)) return TRUE;
    if (TryToClose(window, context)) {
      context.found = 1;
      return TRUE;
    }
    if (!IsWindow(window)) return TRUE;  // gone meanwhile: nothing to ask about
    SetForegroundWindow(context.owner);
    int answer = InstallerMessageBox(context.owner,
                                     "Please exit the program " + context.programName + ".",
                                     MB_OKCANCEL | MB_ICONEXCLAMATION);
    if (answer == IDCANCEL) {
      context.cancelled = 1;
      return FALSE;
    }
    context.found = 1;
    return TRUE;
  } catch (...) {
    // Nothing may unwind through EnumWindows; stopping is the safe answer.
    context.cancelled = 1;
    return FALSE;
  }
}

}  // namespace

CloseResult CloseProgramWindows(HWND owner, const std::string& windowClass,
                                const std::string& windowTitle, const std::string& programName) {
  if (windowClass.empty() && windowTitle.empty()) return CloseResult::kClosed;
  CloseWindowsContext context;
  context.windowClass = windowClass;
  context.windowTitle = windowTitle;
  context.programName = programName;
  CWnd* mainWindow = AfxGetMainWnd();
  context.ownWindow = mainWindow != nullptr ? mainWindow->GetSafeHwnd() : nullptr;
  context.owner = owner;
  context.ownProgram = OwnProgramFile();
  for (;;) {
    ++context.pass;
    context.found = 0;
    context.waiting = false;
    EnumWindows(CloseWindowProc, reinterpret_cast<LPARAM>(&context));
    if (context.cancelled) return CloseResult::kCancelled;
    if (!context.found) return CloseResult::kClosed;
    if (context.waiting) Sleep(kWaitingPassPauseMs);
  }
}

CloseResult CloseRunningPrograms(HWND owner, const std::string& windowClass, const std::string& windowTitle,
                                 const std::string& programName, const std::vector<CSelfInstallProgram>& more,
                                 const std::vector<std::string>& files) {
  CWaitCursor wait;
  CProgressBox progress("Closing programs...", owner);
  CloseResult result = CloseProgramWindows(owner, windowClass, windowTitle, programName);
  for (size_t i = 0; result == CloseResult::kClosed && i < more.size(); ++i)
    result = CloseProgramWindows(owner, more[i].WindowClass, more[i].WindowTitle,
                                 more[i].ProgramName);
  if (result == CloseResult::kClosed) result = CloseFileUsers(owner, files, programName);
  return result;
}
