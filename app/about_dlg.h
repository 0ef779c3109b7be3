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
  const MessageMap* GetMessageMap() const override { return &kMessageMap; }
  static const MessageMap kMessageMap;

 private:
  static const MessageMapEntry kMessageEntries[];
  // A move to a monitor of another scale: the dialog manager resizes the
  // controls and their standard font, and the product name's font is made
  // again for its control's new height.
  LRESULT OnDpiChanged(WPARAM wParam, LPARAM lParam);
  // Gives the product name a bold Arial font of its control's height.
  void FitProductFont();

  CFont m_font;  // the product name's font, owned for the dialog object's life
};
