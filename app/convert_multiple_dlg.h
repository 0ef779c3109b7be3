#pragma once
#include <string>

#include "framework/dialog.h"

// The results of a multiple-file conversion (template 129): the report in a
// read-only edit box and the question whether to convert more files. Yes
// ends it with IDOK; No, Escape and the close box with IDCANCEL.
class CConvertMultipleDlg : public CDialog {
 public:
  // `commandTarget` takes the commands the dialog leaves (the application,
  // for Help).
  explicit CConvertMultipleDlg(HWND parent = nullptr, CCmdTarget* commandTarget = nullptr);
  ~CConvertMultipleDlg() override;

  std::string m_strReport;

  const MessageMap* GetMessageMap() const override { return &kMessageMap; }
  static const MessageMap kMessageMap;

 protected:
  void DoDataExchange(CDataExchange& dx) override;
};
