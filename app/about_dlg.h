#pragma once
#include <windows.h>

#include <string>

#include "framework/dialog.h"
#include "framework/gdi.h"

// The version text of the running program: "%d.%02d" of the file version's
// major and minor number, plus " Beta %d" for a third field of 1 to 99; empty
// when the version resource cannot be read.
std::string GetVersionText();
// The same from a version resource block (VS_VERSIONINFO) in memory.
std::string VersionTextFromBlock(const void* block);
// The same from the file version's two double words.
std::string VersionTextFromFileVersion(DWORD versionMS, DWORD versionLS);

// The About box (template 100): icon, product name in large bold Arial, and
// "Version " with the version text.
class CAboutBoxDlg : public CDialog {
 public:
  explicit CAboutBoxDlg(HWND parent = nullptr);

 protected:
  BOOL OnInitDialog() override;

 private:
  CFont m_font;  // the product name's font, owned for the dialog object's life
};
