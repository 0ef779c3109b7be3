#include "installer/license_dlg.h"

#include "framework/file.h"
#include "framework/text_format.h"
#include "framework/wait_cursor.h"
#include "framework/win_app.h"
#include "installer/progress_box.h"
#include "resources/resource.h"

namespace {

const DWORD kLicenseTextStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_GROUP |
                                WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY;

}  // namespace

// ---- CSelfInstallLicenseRichEdit ---------------------------------------------

const MessageMapEntry CSelfInstallLicenseRichEdit::kMessageEntries[] = {
    MapMessage(WM_SETFOCUS, &CSelfInstallLicenseRichEdit::OnSetFocus),
};
const MessageMap CSelfInstallLicenseRichEdit::kMessageMap =
    MakeMessageMap(&CWnd::kMessageMap, kMessageEntries);

LRESULT CSelfInstallLicenseRichEdit::OnSetFocus(WPARAM, LPARAM) {
  LRESULT result = Default();
  SetSel(0, 0);
  return result;
}

// ---- CSelfInstallLicenseAgreementDlg -------------------------------------------

CSelfInstallLicenseAgreementDlg::CSelfInstallLicenseAgreementDlg(HWND parent)
    : CDialog(IDD_SELFINSTALL_LICENSE, parent) {
  // The help file has no topic for the installer's dialogs: F1 asks for none.
  m_nIDHelp = 0;
}

BOOL CSelfInstallLicenseAgreementDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  const std::string title = AfxGetAppTitle();
  SetDlgItemText(IDC_LICENSE_QUESTION,
                 FormatWithText(GetDlgItemText(IDC_LICENSE_QUESTION), title).c_str());

  RECT frame = GetDlgItem(IDC_LICENSE_FRAME).GetWindowRect();
  ScreenToClient(frame);
  m_LicenseText.Create(kLicenseTextStyle, frame, m_hWnd, IDC_LICENSE_TEXT);

  if (!LoadLicense() && m_LicenseText.m_hWnd != nullptr) {
    m_LicenseText.SetWindowText("The License Agreement could not be opened.");
  }

  CenterWindow();
  return TRUE;
}

bool CSelfInstallLicenseAgreementDlg::LoadLicense() {
  try {
    CWaitCursor wait;
    // This dialog is not visible yet: the box belongs to its owner.
    CProgressBox message("Opening License Agreement...", m_hWndParent);
    CFile file(m_strLicenseFile.c_str(), CFile::modeRead | CFile::shareExclusive);
    if (m_LicenseText.m_hWnd != nullptr) {
      EDITSTREAM stream = {};
      stream.dwCookie = reinterpret_cast<DWORD_PTR>(&file);
      stream.dwError = 0;
      stream.pfnCallback = ReadLicense;
      m_LicenseText.StreamIn(SF_RTF, stream);
    }
    file.Close();
    return true;
  } catch (const CFileException&) {
    return false;
  }
}

DWORD CALLBACK CSelfInstallLicenseAgreementDlg::ReadLicense(DWORD_PTR cookie, BYTE* buffer,
                                                            LONG size, LONG* got) {
  *got = size;
  try {
    *got = static_cast<LONG>(
        reinterpret_cast<CFile*>(cookie)->Read(buffer, static_cast<DWORD>(size)));
    return 0;
  } catch (...) {
    // The text so far stays; the stream ends here.
    *got = 0;
    return 1;
  }
}

bool ShowLicenseAgreement(HWND parent, const std::string& sourceFolder) {
  try {
    CSelfInstallLicenseAgreementDlg dlg(parent);
    dlg.m_strLicenseFile = sourceFolder + "License.rtf";
    return dlg.DoModal() == IDCANCEL;
  } catch (...) {
    // Only the user's No declines.
    return false;
  }
}
