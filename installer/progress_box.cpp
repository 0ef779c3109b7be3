#include "installer/progress_box.h"

#include "installer/install_job.h"
#include "resources/resource.h"

// The help file has no topic for the installer's dialogs: F1 asks for none.
CProgressBox::CProgressBox() : CDialog(IDD_SELFINSTALL_MESSAGE) { m_nIDHelp = 0; }

CProgressBox::CProgressBox(const std::string& text, HWND parent)
    : CDialog(IDD_SELFINSTALL_MESSAGE, parent), m_pParentWnd(parent) {
  m_nIDHelp = 0;
  // A job with no window at all shows no progress either.
  if (!InstallJobShowsProgress() || !Create(parent)) return;
  // A parent that someone else has disabled (the owner of a modal dialog
  // that shows this box) stays disabled when the box goes.
  if (m_pParentWnd != nullptr) m_bEnableParent = ::EnableWindow(m_pParentWnd, FALSE) == FALSE;
  SetDlgItemText(IDC_MESSAGE_TEXT, text.c_str());
  m_dwStartTime = GetTickCount();
  m_bShown = true;
  PaintNow();
}

CProgressBox::~CProgressBox() {
  if (m_bShown) {
    DWORD wait = RemainingDisplayTime(m_dwStartTime, GetTickCount());
    if (wait > 0) Sleep(wait);
  }
  // The parent comes back first, so that it takes the activation from the box.
  if (m_bEnableParent) ::EnableWindow(m_pParentWnd, TRUE);
  if (m_hWnd != nullptr) DestroyWindow();
}

DWORD CProgressBox::RemainingDisplayTime(DWORD start, DWORD now) {
  if (now < start) return 0;  // the tick count wrapped around
  DWORD elapsed = now - start;
  return elapsed <= kMinimumDisplayTime ? kMinimumDisplayTime - elapsed : 0;
}

BOOL CProgressBox::OnInitDialog() {
  CDialog::OnInitDialog();
  CenterWindow();
  return TRUE;
}

void CProgressBox::PaintNow() {
  RedrawWindow(m_hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  // Whatever else waits to be painted (the owner uncovered or just shown),
  // within a bound, since a window that never validates would repost forever.
  MSG msg;
  for (int i = 0; i < 64 && PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i) {
    DispatchMessageA(&msg);
  }
}
