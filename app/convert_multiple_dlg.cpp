#include "app/convert_multiple_dlg.h"

#include "resources/resource.h"

// No handlers of its own: Yes and No are the base's IDOK and IDCANCEL.
const MessageMap CConvertMultipleDlg::kMessageMap = MakeMessageMap(&CDialog::kMessageMap);

CConvertMultipleDlg::CConvertMultipleDlg(HWND parent, CCmdTarget* commandTarget)
    : CDialog(IDD_CONVERT_MULTIPLE, parent, commandTarget) {}

CConvertMultipleDlg::~CConvertMultipleDlg() = default;

void CConvertMultipleDlg::DoDataExchange(CDataExchange& dx) {
  DDX_Text(dx, IDC_MULTIPLE_REPORT, m_strReport);
}
