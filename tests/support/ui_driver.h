#pragma once
// Drives a real program from outside, as a user would: start it, wait for its
// windows, type into its boxes, press its buttons, read and answer its message
// boxes, and wait for it to end. Used by test executables that run in the same
// Wine prefix (the same wineserver and display) as the program they drive.
//
// Rules that hold throughout:
// - Every wait polls and is bounded; a wait that runs out returns false or a
//   null window and never throws. kUiWait is the usual bound.
// - Nothing here blocks on the driven program: buttons are pressed with a
//   posted BM_CLICK and keys with posted WM_CHAR, so a press that opens a
//   modal box returns at once; reads use SendMessageTimeout.
// - A CDrivenProcess that still runs when it goes is killed, so no program
//   outlives the test that started it.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/handle.h"

// The usual bound of a wait, in milliseconds.
constexpr DWORD kUiWait = 15000;

// Polls `done` every 20 ms until it is true or `timeout` ms have passed;
// returns its last answer.
bool WaitUntil(const std::function<bool()>& done, DWORD timeout = kUiWait);

// The folder of the built distribution (<build>/dist), as a Windows path with
// a final backslash: where Velmora.exe and setup.exe are.
std::string GetDistFolder();

// Under Wine, asks that the windows of program `exeName` ("Velmora.exe") be
// left unmanaged by the X window manager: value "Managed" = "N" in
// HKCU\Software\Wine\AppDefaults\<exeName>\X11 Driver. Without a window manager, as under
// Xvfb, Wine otherwise waits 2 s for each window that hides. Takes effect for
// processes started afterwards; CDrivenProcess::Start does it for its program.
// Harmless on Windows.
void DisableWindowManagerWaits(const std::string& exeName);

// What a top-level window must match; empty texts match anything.
struct WindowQuery {
  std::string caption;    // the whole window text, compared exactly
  std::string className;  // e.g. "#32770" for dialogs and message boxes
  bool visibleOnly = true;
};

// A message box as the user sees it.
struct MessageBoxInfo {
  HWND hWnd = nullptr;
  HWND owner = nullptr;       // the window it belongs to (null for none)
  std::string caption;
  std::string text;           // the static control 0xFFFF
  std::vector<int> buttons;   // ids of its visible buttons, ascending (IDOK, IDYES...)
};

// A process started for a test. Not copyable; movable.
class CDrivenProcess {
 public:
  CDrivenProcess() = default;
  ~CDrivenProcess();
  CDrivenProcess(CDrivenProcess&& other) noexcept;
  CDrivenProcess& operator=(CDrivenProcess&& other) noexcept;
  CDrivenProcess(const CDrivenProcess&) = delete;
  CDrivenProcess& operator=(const CDrivenProcess&) = delete;

  // Starts `commandLine` (put a program path with blanks in double quotes)
  // with `folder` as its current folder (empty: this process's). The window
  // is shown normally. False, with GetLastError set, when it cannot start.
  // Calls DisableWindowManagerWaits for the program first (only for it: call
  // it yourself for programs that this one starts, e.g. setup.exe's).
  bool Start(const std::string& commandLine, const std::string& folder = "");

  // Takes over a running process that another one started (a program that
  // setup.exe or an installer step started): from now on this object waits
  // for it and kills it like one it started. False when it cannot be opened.
  bool Attach(DWORD processId);

  DWORD GetId() const { return m_dwId; }
  HANDLE GetHandle() const { return m_hProcess; }
  bool IsRunning() const;

  // Waits at most `timeout` ms for the process to end; true when it ended,
  // with its exit code in *exitCode when asked.
  bool WaitForExit(DWORD timeout = kUiWait, DWORD* exitCode = nullptr) const;
  // Ends the process now if it still runs and waits for it; the windows and
  // boxes it had go with it. Processes it started live on: Attach to them.
  void Kill();

  // The process's top-level windows, in z-order.
  std::vector<HWND> GetTopLevelWindows(bool visibleOnly = true) const;
  // The first top-level window of the process that matches, or null.
  HWND FindWindow(const WindowQuery& query) const;
  // Polls for such a window; null when none came within `timeout` ms.
  HWND WaitForWindow(const WindowQuery& query, DWORD timeout = kUiWait) const;

  // The message box the process shows now, or false. With several (nested)
  // boxes, the one the user can act on: the box that is enabled.
  bool FindMessageBox(MessageBoxInfo* box) const;
  // Polls for a message box; false when none came within `timeout` ms.
  bool WaitForMessageBox(MessageBoxInfo* box, DWORD timeout = kUiWait) const;

 private:
  CHandle m_hProcess;
  DWORD m_dwId = 0;
};

// The first top-level window of any process that matches; null when none
// came within `timeout` ms. With ProcessOfWindow and CDrivenProcess::Attach
// it finds programs started by other programs.
HWND WaitForAnyWindow(const WindowQuery& query, DWORD timeout = kUiWait);
// The id of the process that owns `window`, or 0.
DWORD ProcessOfWindow(HWND window);
// The ids of the running processes whose file name is `exeName` (compared
// ignoring case, e.g. "Velmora.exe").
std::vector<DWORD> FindProcessesByName(const std::string& exeName);

// True for a dialog window built by MessageBox: class "#32770", a static
// text with id 0xFFFF, and only buttons with the standard ids (1 to 11) and
// the statics of text and icon besides.
bool IsMessageBox(HWND window);
// Reads caption, text, owner and buttons of a message box (or any dialog).
MessageBoxInfo ReadMessageBox(HWND window);

// The text of any window, also of another process's edit and combo boxes
// (WM_GETTEXT through SendMessageTimeout); empty when it does not answer.
std::string GetWindowTextOf(HWND window);
// The text of control `id` of `dialog`.
std::string GetControlText(HWND dialog, int id);
// The items of a combo box's drop-down list, top to bottom.
std::vector<std::string> GetComboItems(HWND combo);

// Types `text` into edit or combo box `id` of `dialog` as a user would (false,
// like PressButton, when the user could not reach the box): the
// box's current text is selected and each character is posted as WM_CHAR to
// the edit field, so the box applies its own limits and the dialog sees
// EN_CHANGE / CBN_EDITCHANGE. True once the box shows exactly `text`; false
// when it does not within `timeout` (for example when the box refuses
// characters beyond its width).
bool TypeText(HWND dialog, int id, const std::string& text, DWORD timeout = kUiWait);
// Puts `text` into the box at once (WM_SETTEXT, no length limit), then posts
// the dialog the change notification typing would give (EN_CHANGE for an
// edit, CBN_EDITCHANGE for a combo box). True when the box took the text.
bool SetControlText(HWND dialog, int id, const std::string& text);

// Presses button `id` of `dialog` (a main window, a dialog or a message box)
// with a posted BM_CLICK and returns at once. False when the button is
// missing, hidden or disabled, or its window is disabled (under a modal box):
// a user could not press it either.
bool PressButton(HWND dialog, int id);

// The control of `dialog` that has the keyboard focus (the combo box for its
// edit field), or null.
HWND GetFocusedControl(HWND dialog);
// The id of that control, or 0.
int GetFocusedControlId(HWND dialog);

// Waits until `window` is destroyed (or hidden, with visibleOnly).
bool WaitForWindowGone(HWND window, DWORD timeout = kUiWait, bool visibleOnly = false);

// Clipboard as another program sees it: CF_TEXT in and out. Put replaces
// everything on the clipboard.
bool PutClipboardText(const std::string& text);
bool GetClipboardText(std::string* text);

// Saves what is on screen inside `window` as a 24-bit BMP file. Under Xvfb
// without a window manager there is no caption bar to save.
bool SaveWindowImage(HWND window, const std::string& path);
