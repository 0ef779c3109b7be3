#pragma once
#include <windows.h>

#include <string>

#include "framework/controls.h"
#include "framework/dialog.h"

// The licence text control: a rich edit that never keeps the whole licence
// selected when the focus comes to it.
class CSelfInstallLicenseRichEdit : public CRichEditCtrl {
 public:
  const MessageMap* GetMessageMap() const override { return &kMessageMap; }
  static const MessageMapEntry kMessageEntries[];
  static const MessageMap kMessageMap;

 protected:
  // The default focus handling, then the selection collapsed to the start.
  LRESULT OnSetFocus(WPARAM wParam, LPARAM lParam);
};

// The licence agreement (template 503): "License.rtf" shown as rich text in a
// read-only control created over the placeholder frame, with Yes (IDOK) and
// No (IDCANCEL, the default button).
class CSelfInstallLicenseAgreementDlg : public CDialog {
 public:
  explicit CSelfInstallLicenseAgreementDlg(HWND parent = nullptr);

  CSelfInstallLicenseRichEdit m_LicenseText;
  std::string m_strLicenseFile;  // the full path of "License.rtf"

 protected:
  BOOL OnInitDialog() override;

 private:
  // Streams the licence file into the control under the progress box; false
  // when the file cannot be opened or closed.
  bool LoadLicense();
  // EM_STREAMIN's read callback; the cookie is the open CFile.
  static DWORD CALLBACK ReadLicense(DWORD_PTR cookie, BYTE* buffer, LONG size, LONG* got);
};

// Shows the licence agreement for sourceFolder + "License.rtf" (the folder
// ends with a separator), owned by `parent`. True exactly when the user
// declined (IDCANCEL); acceptance and a dialog that cannot be shown give false.
bool ShowLicenseAgreement(HWND parent, const std::string& sourceFolder);
