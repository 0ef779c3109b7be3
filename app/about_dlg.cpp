#include "app/about_dlg.h"

#include "app_base/version.h"

#include "resources/resource.h"

CAboutBoxDlg::CAboutBoxDlg(HWND parent, CCmdTarget* commandTarget)
    : CDialog(IDD_ABOUTBOX, parent, commandTarget) {}

BOOL CAboutBoxDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetDlgItemText(IDC_ABOUT_VERSION, ("Version " + GetVersionText()).c_str());

  // The product name fills its control's height in bold Arial.
  CWnd product = GetDlgItem(IDC_ABOUT_PRODUCT);
  RECT rect = product.GetWindowRect();
  m_font.CreateFont(rect.bottom - rect.top, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                    0, 0, 0, 0x26, "Arial");
  product.SetFont(m_font, true);
  return TRUE;
}
