#pragma once
#include <windows.h>
#include <commdlg.h>

#include <string>

#include "framework/dialog.h"
#include "framework/path.h"

// The system's Open and Save As dialogs (GetOpenFileNameW/GetSaveFileNameW
// where the framework uses the W calls, framework/wide.h, with m_ofn's
// request in UTF-16; else GetOpenFileNameA/GetSaveFileNameA). Names are the
// framework's text.
// m_ofn may be adjusted before DoModal: clearing OFN_EXPLORER gives the
// old-style dialog, OFN_ENABLETEMPLATE with lpTemplateName a template of the
// program's resources reshapes it. With a template, this object hooks the
// dialog and handles its messages through its message map like any CDialog
// (`this` arrives in OPENFILENAME.lCustData); IDOK and IDCANCEL keep the
// system's own handling.
class CFileDialog : public CDialog {
 public:
  // `filter` in pairs separated by "|", e.g. "All files (*.*)|*.*||".
  // `fileName` is the initial name; a longer one than the 260-character
  // buffer holds is cut to fit.
  // Not copyable: m_ofn points into the object.
  CFileDialog(bool openFileDialog, const char* defaultExt = nullptr,
              const char* fileName = nullptr,
              DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* filter = nullptr,
              HWND parent = nullptr);

  // IDOK when the user chose a name, IDCANCEL otherwise (also on failure).
  INT_PTR DoModal() override;
  std::string GetPathName() const { return m_szFileName; }
  void SetTitle(const char* title);

  OPENFILENAMEA m_ofn;

 protected:
  void OnOK() override { Default(); }
  void OnCancel() override { Default(); }
  // Keeps the exception. The system's modal loop is not the hook's own: the
  // dialog is cancelled as the user would cancel it.
  void TakeException(HWND hwnd) override;

 private:
  static UINT_PTR CALLBACK HookProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  // The dialog through the W calls.
  BOOL RunWide();

  bool m_bOpenFileDialog;
  std::string m_strFilter;
  std::string m_strDefExt;
  std::string m_strTitle;
  char m_szFileName[kPathBufferBytes];
};
