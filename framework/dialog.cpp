#include "framework/dialog.h"

#include <exception>
#include <stdexcept>
#include <string>

#include "framework/wide.h"

namespace {

CModalScope* g_modalTop = nullptr;  // innermost running modal loop
std::exception_ptr g_keptException;

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
    case WM_QUERYDRAGICON: return true;
    default: return false;
  }
}

}  // namespace

// ---- The modal stack and the kept exception -----------------------------------

CModalScope::CModalScope(const HWND& window) : m_hWindow(window), m_pOuter(g_modalTop) { g_modalTop = this; }

CModalScope::~CModalScope() { g_modalTop = m_pOuter; }

void EndInnermostModal() {
  if (g_modalTop != nullptr && g_modalTop->m_hWindow != nullptr) {
    ::EndDialog(g_modalTop->m_hWindow, -1);
  }
}

void AfxKeepException() {
  if (!g_keptException) g_keptException = std::current_exception();
}

void AfxRethrowKeptException() {
  if (!g_keptException) return;
  std::exception_ptr e = g_keptException;
  g_keptException = nullptr;
  std::rethrow_exception(e);
}

// ---- Data exchange --------------------------------------------------------------

void DDX_Control(CDataExchange& dx, int id, CWnd& control) {
  if (control.m_hWnd != nullptr) return;
  HWND item = ::GetDlgItem(dx.m_pDlgWnd->m_hWnd, id);
  if (item == nullptr) {
    throw std::runtime_error("dialog " + std::to_string(dx.m_pDlgWnd->GetTemplateId()) + " has no control " +
                             std::to_string(id));
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

CDialog::CDialog(UINT templateId, HWND parent, CCmdTarget* commandTarget)
    : m_nIDHelp(templateId), m_pCommandTarget(commandTarget), m_hWndParent(parent), m_nIDTemplate(templateId) {}

CDialog::~CDialog() {
  if (m_hWnd == nullptr) return;
  // No late message may reach the half-destroyed object.
  HWND hwnd = m_hWnd;
  DetachObject();
  if (!m_bModal) ::DestroyWindow(hwnd);
}

UINT CDialog::HelpIdMessage() {
  static const UINT message = RegisterWindowMessageA("FrameworkDialogHelpId");
  return message;
}

INT_PTR CDialog::DoModal() {
  // A Unicode dialog where the framework uses the W calls: its boxes take
  // and give their text in UTF-16.
  return RunModal([&] {
    return UseWideCalls() ? DialogBoxParamW(GetModuleHandleA(nullptr), MAKEINTRESOURCEW(m_nIDTemplate), m_hWndParent,
                                            DialogProc, reinterpret_cast<LPARAM>(this))
                          : DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nIDTemplate), m_hWndParent,
                                            DialogProc, reinterpret_cast<LPARAM>(this));
  });
}

bool CDialog::Create(HWND parent) {
  if (m_hWnd != nullptr) return false;
  if (parent != nullptr) m_hWndParent = parent;
  m_bModal = false;
  HWND hwnd = UseWideCalls() ? CreateDialogParamW(GetModuleHandleA(nullptr), MAKEINTRESOURCEW(m_nIDTemplate),
                                                  m_hWndParent, DialogProc, reinterpret_cast<LPARAM>(this))
                             : CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nIDTemplate),
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

LRESULT CDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    RECT before = GetWindowRect();
    INT_PTR result = OnInitDialog();
    // A top-level dialog that its initialisation did not place is centred
    // over its owner (or the screen).
    RECT after = GetWindowRect();
    if (m_hWnd != nullptr && (GetWindowLongA(m_hWnd, GWL_STYLE) & WS_CHILD) == 0 && EqualRect(&before, &after)) {
      CenterWindow();
    }
    return result;
  }
  if (msg == HelpIdMessage()) {
    SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, m_nIDHelp);
    return TRUE;
  }

  CurrentMessage current = {msg, wParam, lParam, false};
  LRESULT result = 0;
  bool handled = DispatchToMap(current, result);
  // Commands no table of the dialog takes go on to its command target (ID_HELP).
  if (!handled && msg == WM_COMMAND && m_pCommandTarget != nullptr) {
    handled = m_pCommandTarget->OnCmdMsg(LOWORD(wParam), HIWORD(wParam));
  }
  if (!handled || current.wantsDefault) return FALSE;
  if (ReturnsResultDirectly(msg)) return result;
  if (m_hWnd != nullptr) SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
  return TRUE;
}

void CDialog::TakeException(HWND hwnd) {
  AfxKeepException();
  if (m_bModal) {
    ::EndDialog(hwnd, -1);
  } else {
    EndInnermostModal();
  }
}

INT_PTR CDialog::DispatchDialogMessage(CDialog* arriving, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG && arriving != nullptr) arriving->AttachObject(hwnd);
  // The system sends some messages before WM_INITDIALOG: no object yet.
  CWnd* self = FromHandlePermanent(hwnd);
  if (self == nullptr) return FALSE;
  return static_cast<INT_PTR>(ProcessMessage(self, hwnd, msg, wParam, lParam));
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  CDialog* arriving = msg == WM_INITDIALOG ? reinterpret_cast<CDialog*>(lParam) : nullptr;
  return DispatchDialogMessage(arriving, hwnd, msg, wParam, lParam);
}
