#include "app/main_dlg.h"

#include <exception>
#include <new>

#include "app/about_dlg.h"
#include "app/drop_target.h"
#include "app/history.h"
#include "app_base/settings.h"
#include "framework/file_dialog.h"
#include "framework/gdi.h"
#include "framework/win_app.h"
#include "resources/resource.h"

const MessageMapEntry CMainDlg::kMessageEntries[] = {
    MapMessage(WM_PAINT, &CMainDlg::OnPaint),
    MapMessage(WM_QUERYDRAGICON, &CMainDlg::OnQueryDragIcon),
    MapCommand(IDC_MAIN_BROWSE_SOURCE, &CMainDlg::OnBrowseSource),
    MapCommand(IDC_MAIN_BROWSE_DESTINATION, &CMainDlg::OnBrowseDestination),
    MapCommand(IDC_MAIN_ABOUT, &CMainDlg::OnAbout),
    MapCommand(IDC_MAIN_CONVERT_CLIPBOARD, &CMainDlg::ConvertClipboard),
    MapMessage(WM_DESTROY, &CMainDlg::OnDestroy),
    MapCommand(IDC_MAIN_CONVERT_MULTIPLE, &CMainDlg::ConvertMultipleFiles),
    MapCommand(IDC_MAIN_CONVERT_FILE, &CMainDlg::OnConvertFile),
    MapMessage(WM_ACTIVATE, &CMainDlg::OnActivate),
    MapCommand(IDC_MAIN_LEADING_ONLY, &CMainDlg::OnLeadingOnly),
    MapCommand(IDC_MAIN_SUBFOLDERS, &CMainDlg::OnSubfoldersClicked),
    MapMessage(WM_DROPFILES, &CMainDlg::OnDropFiles),
};
const MessageMap CMainDlg::kMessageMap = MakeMessageMap(&CDialog::kMessageMap, kMessageEntries);

CMainDlg::CMainDlg(CWinApp* app)
    : CDialog(IDD_MAIN, nullptr, app),
      m_hIcon(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_pApp(app) {}

CMainDlg::~CMainDlg() = default;

void CMainDlg::DoDataExchange(CDataExchange& dx) { DDX_Control(dx, IDC_MAIN_SPIN, m_spin); }

BOOL CMainDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetIcon(m_hIcon, true);
  SetIcon(m_hIcon, false);

  LoadHistory(CComboBox(::GetDlgItem(m_hWnd, IDC_MAIN_SOURCE)), kSourceHistory, true);
  // A name from the command line wins over the remembered one.
  if (!m_strSource.empty()) SetDlgItemText(IDC_MAIN_SOURCE, m_strSource.c_str());
  LoadHistory(CComboBox(::GetDlgItem(m_hWnd, IDC_MAIN_DESTINATION)), kDestinationHistory, true);
  LoadHistory(CComboBox(::GetDlgItem(m_hWnd, IDC_MAIN_PATTERN)), kMultipleFilesHistory, true);

  SetDlgItemText(IDC_MAIN_TABS,
                 GetSettingString(kSettingsSection, kTabsEntry, kTabsDefault).c_str());
  m_spin.SetRange(1, 80);
  CheckDlgButton(m_hWnd, IDC_MAIN_LEADING_ONLY, ReadLeadingOnlySetting() ? BST_CHECKED : BST_UNCHECKED);
  EnableClipboardButton();
  InitWholeFolders();
  return TRUE;
}

TabStopList TabStopsFromText(const std::string& text) { return ReadTabBoxText(text).m_Stops; }

void RememberTabText(const std::string& text) {
  WriteSettingString(kSettingsSection, kTabsEntry, text.c_str());
}

std::string CMainDlg::ReadTabText() const { return GetDlgItemText(IDC_MAIN_TABS); }

TabStopList CMainDlg::BuildTabStopList() {
  const std::string text = ReadTabText();
  TabStopList stops = TabStopsFromText(text);
  stops.SetLeadingOnly(ReadLeadingOnly());
  RememberTabText(text);
  return stops;
}

void CMainDlg::EnableClipboardButton() {
  CWnd button = GetDlgItem(IDC_MAIN_CONVERT_CLIPBOARD);
  if (button.m_hWnd != nullptr) button.EnableWindow(IsClipboardFormatAvailable(CF_TEXT) != FALSE);
}

void CMainDlg::BrowseForFile(int boxId, bool openDialog) {
  DWORD flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
  if (openDialog) flags |= OFN_FILEMUSTEXIST;
  // The dialog's buffer (the longest path the system takes) gets the box's
  // text cut to fit.
  std::string current = GetDlgItemText(boxId);
  CFileDialog dialog(openDialog, "", current.c_str(), flags, "All files (*.*)|*.*||", m_hWnd);
  dialog.SetTitle("Browse");
  if (RunFileDialog(dialog)) SetDlgItemText(boxId, dialog.GetPathName().c_str());
}

bool CMainDlg::RunFileDialog(CFileDialog& dialog) { return dialog.DoModal() == IDOK; }

void CMainDlg::OnBrowseSource() { BrowseForFile(IDC_MAIN_SOURCE, true); }

void CMainDlg::OnBrowseDestination() { BrowseForFile(IDC_MAIN_DESTINATION, false); }

void CMainDlg::OnAbout() {
  // Owned as the application's boxes are.
  CAboutBoxDlg about(m_pApp != nullptr ? m_pApp->GetSafeOwner() : nullptr, m_pApp);
  about.DoModal();
}

std::string CommandFailureText(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::bad_alloc&) {
    return AfxGetAppTitle() + " ran out of memory and could not finish the command.";
  } catch (...) {
    return AfxGetAppTitle() + " could not finish the command because of an unexpected error.";
  }
}

LRESULT CMainDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT kept = 0;
  if (m_pRun != nullptr && KeepOutOfRun(msg, wParam, &kept)) return kept;
  if (msg != WM_COMMAND) return CDialog::WindowProc(msg, wParam, lParam);
  std::exception_ptr failure;
  try {
    return CDialog::WindowProc(msg, wParam, lParam);
  } catch (...) {
    failure = std::current_exception();
  }
  // Told outside the handler, so that the box has all the memory it can get.
  AfxMessageBox(CommandFailureText(failure).c_str(), MB_OK | MB_ICONEXCLAMATION);
  return TRUE;
}

LRESULT CMainDlg::OnPaint(WPARAM, LPARAM) {
  if (!IsIconic()) return Default();
  CPaintDC dc(m_hWnd);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(static_cast<HDC>(dc)), 0);
  int cxIcon = GetSystemMetrics(SM_CXICON);
  int cyIcon = GetSystemMetrics(SM_CYICON);
  RECT rect = GetClientRect();
  int x = (rect.right - rect.left - cxIcon + 1) / 2;
  int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
  DrawIcon(dc, x, y, m_hIcon);
  return 0;
}

LRESULT CMainDlg::OnQueryDragIcon(WPARAM, LPARAM) { return reinterpret_cast<LRESULT>(m_hIcon); }

LRESULT CMainDlg::OnDestroy(WPARAM, LPARAM) {
  EndWholeFolders();
  if (m_pApp != nullptr) m_pApp->OpenHelp(0, HELP_QUIT);
  return Default();
}

LRESULT CMainDlg::OnActivate(WPARAM wParam, LPARAM) {
  // During a multiple-file run the buttons stay disabled; the run gives them back.
  if (LOWORD(wParam) != WA_INACTIVE && m_pRun == nullptr) EnableClipboardButton();
  return Default();
}
