// The tab box's lists of stops and the "Leading tabs only" check box beside it.
#include "app/main_dlg.h"
#include "app_base/settings.h"
#include "framework/win_app.h"
#include "resources/resource.h"

std::string RefusedTabListText(const std::string& text, const std::string& problem) {
  return "The tab locations \"" + text + "\" cannot be used: " + problem +
         ".\n\nPlease enter one tab width, such as 8, or the columns of the tab stops in increasing order, "
         "such as 4, 10, 20.";
}

bool ReadLeadingOnlySetting() {
  return GetSettingInt(kSettingsSection, kLeadingTabsOnlyEntry, kLeadingTabsOnlyDefault) != 0;
}

void RememberLeadingOnly(bool leadingOnly) {
  WriteSettingInt(kSettingsSection, kLeadingTabsOnlyEntry, leadingOnly ? 1 : 0);
}

bool CMainDlg::AcceptTabText() {
  const std::string text = ReadTabText();
  const TabBoxReading reading = ReadTabBoxText(text);
  if (!reading.IsRefused()) return true;
  AfxMessageBox(RefusedTabListText(text, reading.m_strProblem).c_str(), MB_OK | MB_ICONEXCLAMATION);
  GetDlgItem(IDC_MAIN_TABS).SetFocus();
  return false;
}

bool CMainDlg::ReadLeadingOnly() const {
  const bool leadingOnly = IsDlgButtonChecked(m_hWnd, IDC_MAIN_LEADING_ONLY) == BST_CHECKED;
  RememberLeadingOnly(leadingOnly);
  return leadingOnly;
}

void CMainDlg::OnLeadingOnly() { ReadLeadingOnly(); }
