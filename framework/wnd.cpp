#include "framework/wnd.h"

#include <cstdio>
#include <exception>
#include <map>
#include <tuple>
#include <utility>
#include <vector>

#include "framework/wide.h"

namespace {

// Sets a window's procedure as one that takes the W messages or the 8-bit
// ones; returns the one it had, as the same kind.
WNDPROC SetProcedure(HWND hwnd, WNDPROC procedure, bool wide) {
  const LONG_PTR value = reinterpret_cast<LONG_PTR>(procedure);
  return reinterpret_cast<WNDPROC>(wide ? SetWindowLongPtrW(hwnd, GWLP_WNDPROC, value)
                                        : SetWindowLongPtrA(hwnd, GWLP_WNDPROC, value));
}

// The window property that leads from a window to its object.
const char kObjectProp[] = "FrameworkWndObject";

}  // namespace

// ---- CCmdTarget ------------------------------------------------------------

const MessageMap CCmdTarget::kMessageMap = MakeMessageMap(nullptr);

const MessageMapEntry* CCmdTarget::FindEntry(UINT message, UINT code, UINT id) const {
  const bool keyed = message == WM_COMMAND || message == WM_NOTIFY;
  for (const MessageMap* map = GetMessageMap(); map != nullptr; map = map->base) {
    for (std::size_t i = 0; i < map->count; ++i) {
      const MessageMapEntry& e = map->entries[i];
      if (e.message != message) continue;
      if (keyed && (e.code != code || e.id != id)) continue;
      return &e;
    }
  }
  return nullptr;
}

bool CCmdTarget::OnCmdMsg(UINT id, UINT code) {
  const MessageMapEntry* entry = FindEntry(WM_COMMAND, code, id);
  if (entry == nullptr || entry->onCommand == nullptr) return false;
  (this->*entry->onCommand)();
  return true;
}

// ---- CWnd ----------------------------------------------------------------------

CWnd::~CWnd() {
  if (m_hWnd == nullptr || FromHandlePermanent(m_hWnd) != this) return;
  HWND hwnd = m_hWnd;
  if (m_bOwnsWindow) {
    // The derived parts are gone: no message may reach this object any more.
    DetachObject();
    if (m_pfnSuper != nullptr) SetProcedure(hwnd, m_pfnSuper, m_bSuperWide);
    ::DestroyWindow(hwnd);
  } else {
    UnsubclassWindow();
  }
}

HWND CWnd::Detach() {
  HWND hwnd = m_hWnd;
  if (hwnd != nullptr && FromHandlePermanent(hwnd) == this) {
    UnsubclassWindow();
  }
  m_hWnd = nullptr;
  return hwnd;
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  return static_cast<CWnd*>(GetPropA(hwnd, kObjectProp));
}

void CWnd::AttachObject(HWND hwnd) {
  m_hWnd = hwnd;
  SetPropA(hwnd, kObjectProp, this);
}

void CWnd::DetachObject() {
  if (m_hWnd != nullptr) RemovePropA(m_hWnd, kObjectProp);
  m_hWnd = nullptr;
}

const char* CWnd::RegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background,
                                   HICON icon) {
  // One class per set of attributes; the names live as long as the process.
  static std::map<std::tuple<UINT, HCURSOR, HBRUSH, HICON>, std::string> classes;
  auto key = std::make_tuple(classStyle, cursor, background, icon);
  auto found = classes.find(key);
  if (found != classes.end()) return found->second.c_str();

  char name[96];
  std::snprintf(name, sizeof name, "Fw:%x:%p:%p:%p", classStyle,
                static_cast<void*>(cursor), static_cast<void*>(background),
                static_cast<void*>(icon));
  ATOM atom = 0;
  if (UseWideCalls()) {
    // A Unicode class: its windows get their text in UTF-16.
    const std::wstring wideName = Utf8ToWide(name);
    WNDCLASSW wc = {};
    wc.style = classStyle;
    wc.lpfnWndProc = StandardWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hIcon = icon;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = wideName.c_str();
    atom = RegisterClassW(&wc);
  } else {
    WNDCLASSA wc = {};
    wc.style = classStyle;
    wc.lpfnWndProc = StandardWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hIcon = icon;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    atom = RegisterClassA(&wc);
  }
  if (atom == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
  return classes.emplace(key, name).first->second.c_str();
}

bool CWnd::CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                    int x, int y, int width, int height, HWND parent, HMENU menuOrId) {
  if (className == nullptr || m_hWnd != nullptr) return false;
  HWND hwnd = nullptr;
  if (UseWideCalls()) {
    const std::wstring wideClass = Utf8ToWide(className);
    const std::wstring wideName = Utf8ToWide(windowName != nullptr ? windowName : "");
    WNDCLASSW wc = {};
    const bool ours = GetClassInfoW(GetModuleHandleA(nullptr), wideClass.c_str(), &wc) &&
                      wc.lpfnWndProc == StandardWndProc;
    hwnd = CreateWindowExW(exStyle, wideClass.c_str(), windowName != nullptr ? wideName.c_str() : nullptr, style,
                           x, y, width, height, parent, menuOrId, GetModuleHandleA(nullptr), ours ? this : nullptr);
    if (hwnd != nullptr && !ours && !SubclassWindow(hwnd)) {
      ::DestroyWindow(hwnd);
      return false;
    }
    if (hwnd == nullptr) return false;
    m_bOwnsWindow = true;
    return true;
  }
  const std::string ansiName = TextToAnsiForDisplay(windowName != nullptr ? windowName : "");
  WNDCLASSA wc = {};
  const bool ours = GetClassInfoA(GetModuleHandleA(nullptr), className, &wc) &&
                    wc.lpfnWndProc == StandardWndProc;
  hwnd = CreateWindowExA(exStyle, className, windowName != nullptr ? ansiName.c_str() : nullptr, style, x, y,
                         width, height, parent, menuOrId, GetModuleHandleA(nullptr), ours ? this : nullptr);
  if (hwnd == nullptr) return false;
  if (!ours && !SubclassWindow(hwnd)) {
    ::DestroyWindow(hwnd);
    return false;
  }
  m_bOwnsWindow = true;
  return true;
}

bool CWnd::SubclassWindow(HWND hwnd) {
  if (hwnd == nullptr || FromHandlePermanent(hwnd) != nullptr) return false;
  AttachObject(hwnd);
  // The window's own procedure keeps getting the kind of messages it takes.
  m_bSuperWide = IsWindowUnicode(hwnd) != FALSE;
  m_pfnSuper = SetProcedure(hwnd, StandardWndProc, m_bSuperWide);
  return true;
}

HWND CWnd::UnsubclassWindow() {
  HWND hwnd = m_hWnd;
  if (hwnd == nullptr) return nullptr;
  if (m_pfnSuper != nullptr) {
    SetProcedure(hwnd, m_pfnSuper, m_bSuperWide);
    m_pfnSuper = nullptr;
  }
  DetachObject();
  return hwnd;
}

bool CWnd::DestroyWindow() {
  if (m_hWnd == nullptr) return false;
  return ::DestroyWindow(m_hWnd) != FALSE;
}

std::string CWnd::GetWindowText() const {
  if (UseWideCalls()) {
    const int units = GetWindowTextLengthW(m_hWnd);
    if (units <= 0) return std::string();
    std::vector<wchar_t> buffer(static_cast<size_t>(units) + 1);
    const int got = ::GetWindowTextW(m_hWnd, buffer.data(), units + 1);
    return WideToUtf8(std::wstring(buffer.data(), got > 0 ? got : 0));
  }
  int length = GetWindowTextLengthA(m_hWnd);
  if (length <= 0) return std::string();
  std::vector<char> buffer(length + 1);
  int got = ::GetWindowTextA(m_hWnd, buffer.data(), length + 1);
  return AnsiToText(std::string(buffer.data(), got > 0 ? got : 0));
}

void CWnd::SetWindowText(const char* text) const {
  if (UseWideCalls()) {
    ::SetWindowTextW(m_hWnd, Utf8ToWide(text != nullptr ? text : "").c_str());
  } else {
    ::SetWindowTextA(m_hWnd, TextToAnsiForDisplay(text != nullptr ? text : "").c_str());
  }
}

std::string CWnd::GetDlgItemText(int id) const { return GetDlgItem(id).GetWindowText(); }

RECT CWnd::GetWindowRect() const {
  RECT rect = {};
  ::GetWindowRect(m_hWnd, &rect);
  return rect;
}

RECT CWnd::GetClientRect() const {
  RECT rect = {};
  ::GetClientRect(m_hWnd, &rect);
  return rect;
}

void CWnd::ScreenToClient(RECT& rect) const {
  MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
}

void CWnd::CenterWindow(HWND over) const {
  if (over == nullptr) over = ::GetWindow(m_hWnd, GW_OWNER);
  RECT area;
  if (over != nullptr && ::IsWindowVisible(over) && !::IsIconic(over)) {
    ::GetWindowRect(over, &area);
  } else {
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  }
  RECT self = GetWindowRect();
  int width = self.right - self.left;
  int height = self.bottom - self.top;
  int x = (area.left + area.right - width) / 2;
  int y = (area.top + area.bottom - height) / 2;
  // Keep the window on the screen.
  RECT screen;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &screen, 0);
  if (x + width > screen.right) x = screen.right - width;
  if (y + height > screen.bottom) y = screen.bottom - height;
  if (x < screen.left) x = screen.left;
  if (y < screen.top) y = screen.top;
  SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CWnd::DispatchToMap(CurrentMessage& current, LRESULT& result) {
  // Default() answers for `current` until the handler returns, or throws.
  struct Scope {
    CWnd* wnd;
    CurrentMessage* outer;
    ~Scope() { wnd->m_pCurrentMsg = outer; }
  } scope = {this, std::exchange(m_pCurrentMsg, &current)};

  const UINT msg = current.msg;
  const WPARAM wParam = current.wParam;
  const LPARAM lParam = current.lParam;
  if (msg == WM_COMMAND) {
    const MessageMapEntry* e = FindEntry(WM_COMMAND, HIWORD(wParam), LOWORD(wParam));
    if (e == nullptr || e->onCommand == nullptr) return false;
    (this->*e->onCommand)();
    result = 0;
    return true;
  }
  if (msg == WM_NOTIFY) {
    NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
    if (header == nullptr) return false;
    const MessageMapEntry* e =
        FindEntry(WM_NOTIFY, header->code, static_cast<UINT>(header->idFrom));
    if (e == nullptr || e->onNotify == nullptr) return false;
    result = (this->*e->onNotify)(header);
    return true;
  }
  const MessageMapEntry* e = FindEntry(msg, 0, 0);
  if (e == nullptr || e->onMessage == nullptr) return false;
  result = (this->*e->onMessage)(wParam, lParam);
  return true;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  CurrentMessage current = {msg, wParam, lParam, false};
  LRESULT result = 0;
  return DispatchToMap(current, result) ? result : DefWindowProc(msg, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (m_pfnSuper != nullptr) {
    return m_bSuperWide ? CallWindowProcW(m_pfnSuper, m_hWnd, msg, wParam, lParam)
                        : CallWindowProcA(m_pfnSuper, m_hWnd, msg, wParam, lParam);
  }
  return IsWindowUnicode(m_hWnd) ? ::DefWindowProcW(m_hWnd, msg, wParam, lParam)
                                 : ::DefWindowProcA(m_hWnd, msg, wParam, lParam);
}

LRESULT CWnd::Default() {
  if (m_pCurrentMsg == nullptr) return 0;
  return DefWindowProc(m_pCurrentMsg->msg, m_pCurrentMsg->wParam, m_pCurrentMsg->lParam);
}

LRESULT CWnd::ProcessMessage(CWnd* self, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  try {
    result = self->WindowProc(msg, wParam, lParam);
  } catch (...) {
    self->TakeException(hwnd);
  }
  if (msg == WM_NCDESTROY) self->LetGoOfWindow(hwnd);
  return result;
}

void CWnd::TakeException(HWND hwnd) {
  for (HWND above = ::GetParent(hwnd); above != nullptr; above = ::GetParent(above)) {
    CWnd* taker = FromHandlePermanent(above);
    if (taker != nullptr) {
      taker->TakeException(above);
      return;
    }
  }
  // Nothing above could rethrow it: leave a trace.
  try {
    throw;
  } catch (const std::exception& e) {
    OutputDebugStringA(e.what());
  } catch (...) {
    OutputDebugStringA("window procedure: unknown exception");
  }
}

void CWnd::LetGoOfWindow(HWND hwnd) {
  if (FromHandlePermanent(hwnd) != this) return;
  WNDPROC super = std::exchange(m_pfnSuper, nullptr);
  DetachObject();
  m_bOwnsWindow = false;
  if (super != nullptr) SetProcedure(hwnd, super, m_bSuperWide);
  PostNcDestroy();
}

LRESULT CALLBACK CWnd::StandardWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    auto* self = static_cast<CWnd*>(create->lpCreateParams);
    if (self != nullptr && FromHandlePermanent(hwnd) == nullptr) self->AttachObject(hwnd);
  }
  CWnd* self = FromHandlePermanent(hwnd);
  if (self == nullptr) {
    return IsWindowUnicode(hwnd) ? ::DefWindowProcW(hwnd, msg, wParam, lParam)
                                 : ::DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  return ProcessMessage(self, hwnd, msg, wParam, lParam);
}
