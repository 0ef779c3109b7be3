#pragma once
#include <windows.h>

#include <string>

#include "framework/dialog.h"
#include "framework/gdi.h"

// The About box (template 100): icon, product name in large bold Arial, and
// "Version " with the version text.
class CAboutBoxDlg : public CDialog {
 public:
  // `commandTarget` takes the commands the dialog leaves (the application,
  // for Help).
  explicit CAboutBoxDlg(HWND parent = nullptr, CCmdTarget* commandTarget = nullptr);

 protected:
  BOOL OnInitDialog() override;

 private:
  CFont m_font;  // the product name's font, owned for the dialog object's life
};
