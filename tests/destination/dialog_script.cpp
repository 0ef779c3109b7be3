#include "tests/destination/dialog_script.h"

#include <vector>

namespace {

CDialogScript* g_script = nullptr;
const UINT kRunStep = WM_APP + 1;  // lParam: the window shown
const UINT kRunLater = WM_APP + 2; // lParam: a heap-held function
const UINT_PTR kWatchdog = 1;
const UINT kWatchdogMs = 20000;

BOOL CALLBACK CancelDialog(HWND hwnd, LPARAM) {
  char className[16] = "";
  GetClassNameA(hwnd, className, sizeof className);
  if (std::string(className) == "#32770") PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
  return TRUE;
}

}  // namespace

CDialogScript::CDialogScript() {
  g_script = this;
  static const char kClass[] = "VelmoraDialogScript";
  WNDCLASSA wc = {};
  wc.lpfnWndProc = HelperProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kClass;
  RegisterClassA(&wc);
  m_hHelper = CreateWindowA(kClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  m_hHook = SetWindowsHookExA(WH_CALLWNDPROC, HookProc, nullptr, GetCurrentThreadId());
  SetTimer(m_hHelper, kWatchdog, kWatchdogMs, nullptr);
}

CDialogScript::~CDialogScript() {
  UnhookWindowsHookEx(m_hHook);
  KillTimer(m_hHelper, kWatchdog);
  // Functions still queued are dropped with the window's messages.
  MSG msg;
  while (PeekMessageA(&msg, m_hHelper, kRunLater, kRunLater, PM_REMOVE)) {
    delete reinterpret_cast<std::function<void()>*>(msg.lParam);
  }
  DestroyWindow(m_hHelper);
  g_script = nullptr;
}

void CDialogScript::OnShown(const std::string& caption, Action action) {
  m_Steps.push_back({caption, std::move(action)});
}

void CDialogScript::Later(std::function<void()> action) {
  PostMessageA(m_hHelper, kRunLater, 0,
               reinterpret_cast<LPARAM>(new std::function<void()>(std::move(action))));
}

LRESULT CALLBACK CDialogScript::HookProc(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && g_script != nullptr && call->message == WM_SHOWWINDOW &&
      call->wParam != FALSE) {
    PostMessageA(g_script->m_hHelper, kRunStep, 0, reinterpret_cast<LPARAM>(call->hwnd));
  }
  if (code == HC_ACTION && g_script != nullptr && call->message == WM_SETTEXT &&
      call->lParam != 0 && !g_script->m_strWatchedText.empty() &&
      g_script->m_strWatchedText == reinterpret_cast<const char*>(call->lParam) &&
      (GetWindowLongA(call->hwnd, GWL_STYLE) & WS_CHILD) != 0) {
    g_script->m_TextOwners.push_back(GetWindow(GetAncestor(call->hwnd, GA_ROOT), GW_OWNER));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CDialogScript::HelperProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  CDialogScript* self = g_script;
  if (msg == kRunStep && self != nullptr) {
    self->Shown(reinterpret_cast<HWND>(lParam));
    return 0;
  }
  if (msg == kRunLater) {
    auto* action = reinterpret_cast<std::function<void()>*>(lParam);
    (*action)();
    delete action;
    return 0;
  }
  if (msg == WM_TIMER && wParam == kWatchdog && self != nullptr) {
    self->m_bTimedOut = true;
    EnumThreadWindows(GetCurrentThreadId(), CancelDialog, 0);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void CDialogScript::Shown(HWND hwnd) {
  if (m_Steps.empty() || !IsWindow(hwnd)) return;
  char caption[256] = "";
  GetWindowTextA(hwnd, caption, sizeof caption);
  if (m_Steps.front().caption != caption) return;
  Action action = std::move(m_Steps.front().action);
  m_Steps.pop_front();
  action(hwnd);
}

void PostCommand(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void SendNotification(HWND dialog, int id, int code) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, code),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::string ItemText(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  int length = GetWindowTextLengthA(item);
  if (item == nullptr || length <= 0) return std::string();
  std::vector<char> buffer(length + 1);
  GetWindowTextA(item, buffer.data(), length + 1);
  return std::string(buffer.data());
}

bool ItemVisible(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  return item != nullptr && IsWindowVisible(item);
}
