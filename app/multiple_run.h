#pragma once
// One Convert Multiple Files run over its matches: each file converted in
// place in turn, its line added to the report, and between files (and
// within a long one) the messages of the thread pumped, so that the main
// window is repainted and the progress window's Cancel is heard; a cancel
// takes effect after the file in hand. A run that lasts shows the progress
// window ("Converting Files", template 130); the main window's controls are
// disabled while it runs.
#include <windows.h>

#include <string>
#include <vector>

#include "engine/tab_stops.h"
#include "framework/dialog.h"

// The progress window: the file in hand, how many are done, and Cancel
// (IDCANCEL), which only asks the run to stop after the file in hand.
class CProgressDlg : public CDialog {
 public:
  explicit CProgressDlg(HWND parent);
  ~CProgressDlg() override;

  bool IsCancelled() const { return m_bCancelled; }
  void Cancel();
  // Shows `name` as the file in hand and "<done> of <total> done".
  void ShowProgress(const std::string& name, size_t done, size_t total);

  const MessageMap* GetMessageMap() const override { return &kMessageMap; }
  static const MessageMap kMessageMap;

 protected:
  void OnCancel() override;

 private:
  bool m_bCancelled = false;
};

// A file of the run: the path it is converted under and the name its report
// line shows.
struct RunFile {
  std::string m_strPath;
  std::string m_strShown;
};

// Value "IncludeSubfolders" of "Settings": 1 when the check box is checked.
constexpr const char kIncludeSubfoldersEntry[] = "IncludeSubfolders";

// Value "ProgressDelay" of "Settings": milliseconds a run goes before its
// progress window shows (0: at once; a large value keeps it away).
constexpr const char kProgressDelayEntry[] = "ProgressDelay";
constexpr int kProgressDelayDefault = 500;

// The line that ends the report of a cancelled run.
std::string CancelledLine(size_t notConverted);

class CMultipleRun {
 public:
  // `mainWindow` is the window whose controls are disabled for the run and
  // that owns the progress window.
  explicit CMultipleRun(HWND mainWindow);
  ~CMultipleRun();
  CMultipleRun(const CMultipleRun&) = delete;
  CMultipleRun& operator=(const CMultipleRun&) = delete;

  // Converts the files in turn and returns the report: one line per file
  // ("<shown name>: <outcome>\r\n"), and after a cancel the line that says
  // so and how many were left. A makefile or tab-separated data keeps its
  // tabs with its own line.
  std::string Run(const std::vector<RunFile>& files, const TabStopList& stops);

  // Asks the run to stop after the file in hand (Cancel, or the main window
  // closed meanwhile).
  void RequestCancel() { m_bCancelRequested = true; }
  bool IsCancelled() const;

 private:
  void DisableControls();
  void RestoreControls();
  // Handles the messages waiting in the thread's queue.
  void PumpMessages();
  // Between files and within a long one: the progress window brought up to
  // date and the queue handled, unless that was done less than
  // kPumpInterval ago (and `now` is false).
  void KeepAnswering(const std::string& name, size_t done, size_t total, bool now);
  void UpdateProgress(const std::string& name, size_t done, size_t total);

  HWND m_hMain;
  std::vector<HWND> m_disabled;  // the main window's controls this run disabled
  HWND m_hFocus = nullptr;
  CProgressDlg m_progress;
  bool m_bCancelRequested = false;
  DWORD m_dwStart = 0;
  DWORD m_dwDelay = kProgressDelayDefault;
  DWORD m_dwLastUpdate = 0;
  DWORD m_dwLastPump = 0;
};
