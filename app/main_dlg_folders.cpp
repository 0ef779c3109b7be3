// Whole folders on the main window: the "Include subfolders" check box, which
// the settings remember, files and folders dropped from Explorer, and what
// the window lets through while a multiple-file run pumps its messages.
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "app/drop_rules.h"
#include "app/drop_target.h"
#include "app/main_dlg.h"
#include "app/multiple_run.h"
#include "app_base/settings.h"
#include "framework/file_system.h"
#include "framework/message_box.h"
#include "framework/wide.h"
#include "framework/win_app.h"
#include "resources/resource.h"

namespace {

// The dropped names, each a full path, and whether it is a folder.
std::vector<DroppedItem> DroppedItems(HDROP drop) {
  std::vector<DroppedItem> items;
  const bool wide = !IsWindows9x();
  const UINT count = wide ? DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) : DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    DroppedItem item;
    if (wide) {
      std::wstring name(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
      name.resize(DragQueryFileW(drop, i, &name[0], static_cast<UINT>(name.size())));
      item.m_strPath = WideToText(name);
    } else {
      std::string name(DragQueryFileA(drop, i, nullptr, 0) + 1, '\0');
      name.resize(DragQueryFileA(drop, i, &name[0], static_cast<UINT>(name.size())));
      item.m_strPath = AnsiToText(name);
    }
    if (item.m_strPath.empty()) continue;
    const DWORD attributes = GetFileAttributesNamed(item.m_strPath.c_str());
    item.m_bFolder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    items.push_back(item);
  }
  return items;
}

// True when `drop` is memory of this process. A handle another program
// posted from its own memory is none: the system's drop calls would read
// through it without a check.
bool IsDropBlock(HDROP drop) {
  if (drop == nullptr || GlobalLock(drop) == nullptr) return false;
  GlobalUnlock(drop);
  return true;
}

// The box under `point` (client coordinates of the main window).
DropTarget TargetAt(HWND main, POINT point) {
  HWND child = ChildWindowFromPointEx(main, point, CWP_SKIPINVISIBLE);
  switch (child != nullptr && child != main ? GetDlgCtrlID(child) : 0) {
    case IDC_MAIN_SOURCE: return DropTarget::kSourceBox;
    case IDC_MAIN_DESTINATION: return DropTarget::kDestinationBox;
    case IDC_MAIN_PATTERN: return DropTarget::kPatternBox;
    default: return DropTarget::kElsewhere;
  }
}

}  // namespace

void CMainDlg::InitWholeFolders() {
  const bool subfolders = GetSettingInt(kSettingsSection, kIncludeSubfoldersEntry, 0) != 0;
  CheckDlgButton(m_hWnd, IDC_MAIN_SUBFOLDERS, subfolders ? BST_CHECKED : BST_UNCHECKED);
  DragAcceptFiles(m_hWnd, TRUE);
  // Drags of other programs come through OLE too; where the target cannot
  // be registered, the system's WM_DROPFILES still brings them.
  m_pDropTarget = std::make_unique<CFileDropTarget>([this](HDROP drop, POINT point) { TakeOleDrop(drop, point); },
                                                    [this] { return m_pRun == nullptr; });
  if (!m_pDropTarget->Register(m_hWnd)) m_pDropTarget.reset();
}

void CMainDlg::EndWholeFolders() {
  if (m_pDropTarget != nullptr) m_pDropTarget->Revoke();
}

void CMainDlg::OnSubfoldersClicked() {
  const bool checked = IsDlgButtonChecked(m_hWnd, IDC_MAIN_SUBFOLDERS) == BST_CHECKED;
  WriteSettingInt(kSettingsSection, kIncludeSubfoldersEntry, checked ? 1 : 0);
}

LRESULT CMainDlg::OnDropFiles(WPARAM wParam, LPARAM) {
  HDROP drop = reinterpret_cast<HDROP>(wParam);
  if (!IsDropBlock(drop)) return 0;
  POINT point = {};
  const bool inClient = DragQueryPoint(drop, &point) != FALSE;
  const std::vector<DroppedItem> items = DroppedItems(drop);
  DragFinish(drop);
  TakeDrop(items, inClient ? TargetAt(m_hWnd, point) : DropTarget::kElsewhere);
  return 0;
}

void CMainDlg::TakeOleDrop(HDROP drop, POINT screenPoint) {
  POINT point = screenPoint;
  ::ScreenToClient(m_hWnd, &point);
  RECT client = GetClientRect();
  const bool inClient = PtInRect(&client, point) != FALSE;
  TakeDrop(DroppedItems(drop), inClient ? TargetAt(m_hWnd, point) : DropTarget::kElsewhere);
}

void CMainDlg::TakeDrop(const std::vector<DroppedItem>& items, DropTarget target) {
  const DropDecision decision = DecideDrop(target, items);
  if (decision.m_nBox == 0) {
    if (!decision.m_strRefusal.empty()) AfxMessageBox(decision.m_strRefusal.c_str(), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  // Only the box's text: the histories change when a command runs.
  SetDlgItemText(decision.m_nBox, decision.m_strText.c_str());
  GetDlgItem(decision.m_nBox).SetFocus();
}

bool CMainDlg::KeepOutOfRun(UINT msg, WPARAM wParam, LRESULT* result) {
  switch (msg) {
    case WM_COMMAND:
      // Exit, Esc and the close box (WM_CLOSE becomes IDCANCEL) stop the run
      // after the file in hand; the report follows and the window stays.
      // Nothing else starts in the middle of a run.
      if (LOWORD(wParam) == IDCANCEL) m_pRun->RequestCancel();
      *result = TRUE;
      return true;
    case WM_DROPFILES:
      if (IsDropBlock(reinterpret_cast<HDROP>(wParam))) DragFinish(reinterpret_cast<HDROP>(wParam));
      *result = 0;
      return true;
    default:
      return false;
  }
}
