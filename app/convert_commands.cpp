// The three conversion commands of the main dialog; they do nothing until the
// conversion work plugs them in.
#include "app/main_dlg.h"

void CMainDlg::ConvertClipboard() {}

void CMainDlg::ConvertMultipleFiles() {}

void CMainDlg::OnConvertFile() {}
