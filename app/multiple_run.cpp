#include "app/multiple_run.h"

#include "app_base/settings.h"
#include "engine/convert.h"
#include "engine/kept_formats.h"
#include "framework/wide.h"
#include "resources/resource.h"

namespace {

// A file's line in the results of Convert Multiple Files, after its name.
std::string ReportLine(const ConvertResult& result) {
  switch (result.m_Outcome) {
    case ConvertOutcome::kFailed: return "Error converting file: " + result.m_strError;
    case ConvertOutcome::kNotText: return "Not a text file. Tabs not converted.";
    case ConvertOutcome::kCopyFailed:
      return TabsConvertedText(result.m_nTabCount) + " - Copy failed. Tabs not converted.";
    case ConvertOutcome::kCopyKept:
      return TabsConvertedText(result.m_nTabCount) +
             " - The file could not be put back under its name. Its text is kept in " + result.m_strKept + ".";
    case ConvertOutcome::kLink:
      return "A link to a file elsewhere. Tabs not converted.";
    case ConvertOutcome::kSeveralNames:
      return "A file with more than one name (hard links). Tabs not converted.";
    case ConvertOutcome::kConverted:
      break;
  }
  return TabsConvertedText(result.m_nTabCount);
}

// The progress window's texts change at most this often (ms): a run of many
// small files would otherwise spend its time repainting them.
constexpr DWORD kUpdateInterval = 100;

// The queue is looked at no more often than this (ms): each look asks the
// system (under Wine about a tenth of a small file's conversion), and a
// window that answers within a tick of the clock is as responsive as one
// that answers at once.
constexpr DWORD kPumpInterval = 10;

}  // namespace

const MessageMap CProgressDlg::kMessageMap = MakeMessageMap(&CDialog::kMessageMap);

CProgressDlg::CProgressDlg(HWND parent) : CDialog(IDD_PROGRESS, parent) {}

CProgressDlg::~CProgressDlg() {
  if (IsWindow()) DestroyWindow();
}

void CProgressDlg::Cancel() {
  if (m_bCancelled) return;
  m_bCancelled = true;
  if (IsWindow()) {
    SetDlgItemText(IDC_PROGRESS_COUNT, "Stopping after the file in hand...");
    GetDlgItem(IDCANCEL).EnableWindow(false);
  }
}

void CProgressDlg::OnCancel() { Cancel(); }

void CProgressDlg::ShowProgress(const std::string& name, size_t done, size_t total) {
  if (m_bCancelled) return;
  SetDlgItemText(IDC_PROGRESS_FILE, name.c_str());
  const std::string count = std::to_string(done) + " of " + std::to_string(total) + " done";
  SetDlgItemText(IDC_PROGRESS_COUNT, count.c_str());
}

std::string CancelledLine(size_t notConverted) {
  return "Cancelled: the run was stopped, and " + std::to_string(notConverted) +
         (notConverted == 1 ? " match was" : " matches were") + " not converted.";
}

CMultipleRun::CMultipleRun(HWND mainWindow) : m_hMain(mainWindow), m_progress(mainWindow) {}

CMultipleRun::~CMultipleRun() {
  if (m_progress.IsWindow()) m_progress.DestroyWindow();
  RestoreControls();
}

bool CMultipleRun::IsCancelled() const { return m_bCancelRequested || m_progress.IsCancelled(); }

void CMultipleRun::DisableControls() {
  m_hFocus = GetFocus();
  for (HWND child = GetWindow(m_hMain, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowEnabled(child)) continue;
    EnableWindow(child, FALSE);
    m_disabled.push_back(child);
  }
}

void CMultipleRun::RestoreControls() {
  for (HWND child : m_disabled) EnableWindow(child, TRUE);
  m_disabled.clear();
  if (m_hFocus != nullptr && IsWindow(m_hFocus)) SetFocus(m_hFocus);
  m_hFocus = nullptr;
}

void CMultipleRun::PumpMessages() {
  // As the framework made the windows: Unicode ones where it uses the W calls.
  const bool wide = UseWideCalls();
  MSG msg;
  while (wide ? PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) : PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Left for the loop that waits for it; the run stops.
      PostQuitMessage(static_cast<int>(msg.wParam));
      RequestCancel();
      return;
    }
    if (m_progress.IsWindow() && (wide ? IsDialogMessageW(m_progress, &msg) : IsDialogMessageA(m_progress, &msg)))
      continue;
    TranslateMessage(&msg);
    if (wide)
      DispatchMessageW(&msg);
    else
      DispatchMessageA(&msg);
  }
}

void CMultipleRun::KeepAnswering(const std::string& name, size_t done, size_t total, bool now) {
  const DWORD tick = GetTickCount();
  if (!now && tick - m_dwLastPump < kPumpInterval) return;
  if (m_dwDelay != MAXDWORD) UpdateProgress(name, done, total);
  PumpMessages();
  m_dwLastPump = tick;
}

void CMultipleRun::UpdateProgress(const std::string& name, size_t done, size_t total) {
  const DWORD now = GetTickCount();
  if (!m_progress.IsWindow()) {
    if (now - m_dwStart < m_dwDelay) return;
    if (!m_progress.Create(m_hMain)) {
      m_dwDelay = MAXDWORD;  // no window, the run goes on without it
      return;
    }
    m_progress.ShowProgress(name, done, total);
    m_progress.ShowWindow(SW_SHOW);
    m_progress.GetDlgItem(IDCANCEL).SetFocus();
    m_progress.UpdateWindow();
    m_dwLastUpdate = now;
    return;
  }
  if (now - m_dwLastUpdate < kUpdateInterval) return;
  m_progress.ShowProgress(name, done, total);
  m_dwLastUpdate = now;
}

std::string CMultipleRun::Run(const std::vector<RunFile>& files, const TabStopList& stops) {
  const int delay = GetSettingInt(kSettingsSection, kProgressDelayEntry, kProgressDelayDefault);
  m_dwDelay = delay < 0 ? MAXDWORD : static_cast<DWORD>(delay);
  m_dwStart = GetTickCount();
  DisableControls();

  std::string report;
  size_t done = 0;
  for (; done < files.size(); ++done) {
    // A cancel is taken between files only: a file is never left in the
    // middle of its run.
    const RunFile& file = files[done];
    KeepAnswering(file.m_strShown, done, files.size(), done == 0);
    if (IsCancelled()) break;
    report += file.m_strShown + ": ";
    if (TabsArePartOfFormat(file.m_strPath))
      report += kTabsArePartOfFormatText;
    else
      // Into a copy beside the file, which then takes its place: nothing is
      // written to the current folder, which a standard user may not write.
      // The windows answer through a long file too.
      report += ReportLine(ConvertFileInPlace(file.m_strPath, stops, [&] {
        KeepAnswering(file.m_strShown, done, files.size(), false);
      }));
    report += "\r\n";
  }
  if (done < files.size()) report += CancelledLine(files.size() - done) + "\r\n";

  if (m_progress.IsWindow()) m_progress.DestroyWindow();
  RestoreControls();
  return report;
}
