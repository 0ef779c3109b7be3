#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

// Drives this thread's modal dialogs from inside their own modal loops.
// Each step waits for a window with its caption to be shown (a hook sees its
// WM_SHOWWINDOW; a modal loop shows its dialog once it has built it and has
// no message waiting) and then runs from a message posted behind that, with
// the window on the screen. A step acts by setting
// control texts and posting commands; `Later` runs a function after the
// messages posted so far, to look at what they did.
//
// A watchdog ends every dialog of the thread with IDCANCEL when the script
// has not finished after a while, so a broken step fails the test instead of
// hanging it.
class CDialogScript {
 public:
  using Action = std::function<void(HWND)>;

  CDialogScript();
  ~CDialogScript();
  CDialogScript(const CDialogScript&) = delete;
  CDialogScript& operator=(const CDialogScript&) = delete;

  // Adds a step for the next showing of a window captioned `caption`.
  void OnShown(const std::string& caption, Action action);
  // Runs `action` once the messages posted until now have been handled.
  void Later(std::function<void()> action);

  // Records, for each window that has a control set to `text`, the owner of
  // that window (the progress box's owner, for instance), in m_TextOwners.
  void WatchText(const std::string& text) { m_strWatchedText = text; }
  std::vector<HWND> m_TextOwners;

  // All steps ran, and the watchdog never had to step in.
  bool Finished() const { return m_Steps.empty() && !m_bTimedOut; }
  bool TimedOut() const { return m_bTimedOut; }

 private:
  struct Step {
    std::string caption;
    Action action;
  };
  static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK HelperProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void Shown(HWND hwnd);

  std::deque<Step> m_Steps;
  HHOOK m_hHook = nullptr;
  HWND m_hHelper = nullptr;
  bool m_bTimedOut = false;
  std::string m_strWatchedText;
};

// Posts a button press (WM_COMMAND with BN_CLICKED) to a dialog.
void PostCommand(HWND dialog, int id);
// Sends a control notification (WM_COMMAND with `code`) as the control would.
void SendNotification(HWND dialog, int id, int code);
// The text of a dialog's control.
std::string ItemText(HWND dialog, int id);
// True when the dialog's control exists and is visible.
bool ItemVisible(HWND dialog, int id);
