#include "framework/dialog.h"

#include <stdexcept>
#include <string>

#include "framework/win_app.h"

namespace {

CDialog* g_modalTop = nullptr;  // innermost running modal dialog

// Messages whose dialog-procedure result is the message's result itself
// rather than TRUE/FALSE with DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT msg) {
  switch (msg) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
      return true;
    default:
      return false;
  }
}

}  // namespace

void DDX_Control(CDataExchange& dx, int id, CWnd& control) {
  if (control.m_hWnd != nullptr) return;
  HWND item = ::GetDlgItem(dx.m_pDlgWnd->m_hWnd, id);
  if (item == nullptr) {
    throw std::runtime_error("dialog " + std::to_string(dx.m_pDlgWnd->GetTemplateId()) +
                             " has no control " + std::to_string(id));
  }
  control.Attach(item);
}

void DDX_Text(CDataExchange& dx, int id, std::string& value) {
  if (dx.m_bSaveAndValidate) {
    value = dx.m_pDlgWnd->GetDlgItemText(id);
  } else {
    dx.m_pDlgWnd->SetDlgItemText(id, value.c_str());
  }
}

const MessageMapEntry CDialog::kMessageEntries[] = {
    MapCommand(IDOK, &CDialog::OnOK),
    MapCommand(IDCANCEL, &CDialog::OnCancel),
};
const MessageMap CDialog::kMessageMap = MakeMessageMap(&CCmdTarget::kMessageMap, kMessageEntries);

CDialog::CDialog(UINT templateId, HWND parent)
    : m_nIDHelp(templateId), m_hWndParent(parent), m_nIDTemplate(templateId) {}

CDialog::~CDialog() {
  if (m_hWnd == nullptr) return;
  // No late message may reach the half-destroyed object.
  HWND hwnd = m_hWnd;
  SetWindowLongPtrA(hwnd, DWLP_USER, 0);
  m_hWnd = nullptr;
  if (!m_bModal) ::DestroyWindow(hwnd);
}

UINT CDialog::HelpIdMessage() {
  static const UINT message = RegisterWindowMessageA("VelmoraDialogHelpId");
  return message;
}

void CDialog::EndInnermostModal() {
  if (g_modalTop != nullptr && g_modalTop->m_hWnd != nullptr) {
    ::EndDialog(g_modalTop->m_hWnd, -1);
  }
}

INT_PTR CDialog::DoModal() {
  HWND owner = m_hWndParent;
  if (owner == nullptr && AfxGetApp() != nullptr) owner = AfxGetApp()->GetSafeOwner(this);
  BeginModal();
  INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nIDTemplate),
                                   owner, DialogProc, reinterpret_cast<LPARAM>(this));
  EndModal();
  AfxRethrowKeptException();
  return result;
}

void CDialog::BeginModal() {
  m_bModal = true;
  m_pPrevModal = g_modalTop;
  g_modalTop = this;
}

void CDialog::EndModal() {
  g_modalTop = m_pPrevModal;
  m_bModal = false;
}

bool CDialog::Create(HWND parent) {
  if (m_hWnd != nullptr) return false;
  if (parent != nullptr) m_hWndParent = parent;
  m_bModal = false;
  HWND hwnd = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nIDTemplate),
                                 m_hWndParent, DialogProc, reinterpret_cast<LPARAM>(this));
  return hwnd != nullptr;
}

void CDialog::EndDialog(int result) {
  m_nModalResult = result;
  if (m_hWnd == nullptr) return;
  if (m_bModal) {
    ::EndDialog(m_hWnd, result);
  } else {
    ::DestroyWindow(m_hWnd);
  }
}

bool CDialog::UpdateData(bool saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  DoDataExchange(dx);
  return true;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(false);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(true)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange&) {}

LRESULT CDialog::Default() {
  // The dialog manager does the default once the procedure returns FALSE.
  if (m_pCurrentMsg != nullptr) m_pCurrentMsg->wantsDefault = true;
  return 0;
}

INT_PTR CDialog::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    RECT before = GetWindowRect();
    INT_PTR result = OnInitDialog();
    // A top-level dialog that its initialisation did not place is centred
    // over its owner (or the screen).
    RECT after = GetWindowRect();
    if (m_hWnd != nullptr && (GetWindowLongA(m_hWnd, GWL_STYLE) & WS_CHILD) == 0 &&
        EqualRect(&before, &after)) {
      CenterWindow();
    }
    return result;
  }
  if (msg == HelpIdMessage()) {
    SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, m_nIDHelp);
    return TRUE;
  }

  CurrentMessage current = {msg, wParam, lParam, false};
  CurrentMessage* outer = m_pCurrentMsg;
  m_pCurrentMsg = &current;
  LRESULT result = 0;
  bool handled = false;
  try {
    handled = DispatchToMap(msg, wParam, lParam, result);
    // Commands no table of the dialog takes go on to the application (ID_HELP).
    if (!handled && msg == WM_COMMAND && AfxGetApp() != nullptr) {
      handled = AfxGetApp()->OnCmdMsg(LOWORD(wParam), HIWORD(wParam));
    }
  } catch (...) {
    m_pCurrentMsg = outer;
    throw;
  }
  m_pCurrentMsg = outer;
  if (!handled || current.wantsDefault) return FALSE;
  if (ReturnsResultDirectly(msg)) return static_cast<INT_PTR>(result);
  if (m_hWnd != nullptr) SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
  return TRUE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    auto* self = reinterpret_cast<CDialog*>(lParam);
    SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    self->m_hWnd = hwnd;
  }
  auto* self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  if (self == nullptr) return FALSE;

  INT_PTR result = FALSE;
  try {
    result = self->HandleMessage(msg, wParam, lParam);
  } catch (...) {
    AfxKeepException();
    if (self->m_bModal) {
      ::EndDialog(hwnd, -1);
    } else {
      EndInnermostModal();
    }
  }
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, DWLP_USER, 0);
    if (self->m_hWnd == hwnd) {
      self->m_hWnd = nullptr;
      if (AfxGetApp() != nullptr && AfxGetApp()->m_pMainWnd == self) {
        AfxGetApp()->m_pMainWnd = nullptr;
      }
      self->PostNcDestroy();
    }
  }
  return result;
}
