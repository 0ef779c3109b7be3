#include "tests/app/test_app.h"

#include <shlwapi.h>

#include "app_base/version.h"
#include "app_base/module.h"
#include "app_base/settings.h"

namespace {
CTestApp g_app;
CActivationHook* g_hook = nullptr;
}  // namespace

CTestApp& TestApp() { return g_app; }

CTestApp::CTestApp() : m_pPrevRoutine(SetMessageBoxRoutine(this)) {}

CTestApp::~CTestApp() { SetMessageBoxRoutine(m_pPrevRoutine); }

void CTestApp::Start(const char* commandLine) {
  InitApplication(GetModuleHandleA(nullptr), commandLine);
  m_HelpCalls.clear();
  m_HtmlHelpCalls.clear();
  m_Boxes.clear();
  m_bHelpResult = TRUE;
  m_bHtmlHelpOpens = true;
  m_bRealHtmlHelp = false;
  m_nAnswer = IDOK;
  m_bRealBoxes = false;
  m_pMainWnd = nullptr;
  SetProfileLocation("Orvane", "Zenvero");
  RecordInstallationHere();
}

void RecordInstallationHere() {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Orvane\\Zenvero\\SelfInstall", 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  const std::string version = GetVersionText();
  const std::string folder = GetModuleFolder();
  RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                 static_cast<DWORD>(version.size() + 1));
  RegSetValueExA(key, "Directory", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                 static_cast<DWORD>(folder.size() + 1));
  RegCloseKey(key);
}

BOOL CTestApp::CallWinHelp(HWND window, const char* file, UINT command, ULONG_PTR data) {
  m_HelpCalls.push_back({window, file, command, data});
  return m_bHelpResult;
}

HWND CTestApp::CallHtmlHelp(HWND window, const char* file, UINT command, DWORD_PTR data) {
  m_HtmlHelpCalls.push_back({window, file != nullptr ? file : "", command, data});
  if (m_bRealHtmlHelp) return CConverterApp::CallHtmlHelp(window, file, command, data);
  // Any window stands for the viewer's.
  return m_bHtmlHelpOpens ? GetDesktopWindow() : nullptr;
}

int CTestApp::ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
  m_Boxes.push_back({owner, owner == nullptr || IsWindowEnabled(owner) != FALSE, text, caption,
                     type});
  if (m_bRealBoxes) return MessageBoxA(owner, text, caption, type);
  return m_nAnswer;
}

void ClearSettings() { SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Orvane"); }

CActivationHook::CActivationHook(const char* caption, std::function<void(HWND)> onActivate)
    : m_strCaption(caption), m_onActivate(std::move(onActivate)) {
  g_hook = this;
  m_hHook = SetWindowsHookExA(WH_CBT, Proc, nullptr, GetCurrentThreadId());
}

CActivationHook::~CActivationHook() {
  UnhookWindowsHookEx(m_hHook);
  g_hook = nullptr;
}

LRESULT CALLBACK CActivationHook::Proc(int code, WPARAM wParam, LPARAM lParam) {
  CActivationHook* self = g_hook;
  if (self != nullptr && code == HCBT_ACTIVATE) {
    HWND hwnd = reinterpret_cast<HWND>(wParam);
    char caption[256] = "";
    GetWindowTextA(hwnd, caption, sizeof caption);
    if (self->m_strCaption == caption) {
      ++self->m_nCalls;
      self->m_onActivate(hwnd);
    }
  }
  return CallNextHookEx(self != nullptr ? self->m_hHook : nullptr, code, wParam, lParam);
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}
