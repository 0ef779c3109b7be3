#include "app/about_dlg.h"

#include <utility>

#include "app_base/version.h"
#include "framework/message_map.h"
#include "resources/resource.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

const MessageMapEntry CAboutBoxDlg::kMessageEntries[] = {
    MapMessage(WM_DPICHANGED, &CAboutBoxDlg::OnDpiChanged),
};
const MessageMap CAboutBoxDlg::kMessageMap = MakeMessageMap(&CDialog::kMessageMap, kMessageEntries);

CAboutBoxDlg::CAboutBoxDlg(HWND parent, CCmdTarget* commandTarget)
    : CDialog(IDD_ABOUTBOX, parent, commandTarget) {}

BOOL CAboutBoxDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetDlgItemText(IDC_ABOUT_VERSION, ("Version " + GetVersionText()).c_str());

  FitProductFont();
  return TRUE;
}

void CAboutBoxDlg::FitProductFont() {
  // The product name fills its control's height in bold Arial. The new font
  // is in place before the old one goes.
  CWnd product = GetDlgItem(IDC_ABOUT_PRODUCT);
  RECT rect = product.GetWindowRect();
  CFont font;
  if (!font.CreateFont(rect.bottom - rect.top, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0, 0x26,
                       "Arial"))
    return;
  product.SetFont(font, true);
  m_font = std::move(font);
}

LRESULT CAboutBoxDlg::OnDpiChanged(WPARAM, LPARAM) {
  const LRESULT result = Default();
  FitProductFont();
  return result;
}
