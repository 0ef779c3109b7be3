#include "framework/win_app.h"

#include <commctrl.h>
#include <htmlhelp.h>

#include <exception>
#include <utility>

#include "framework/file_system.h"
#include "framework/path.h"
#include "framework/system_library.h"
#include "framework/wide.h"

namespace {

CWinApp* g_app = nullptr;

const UINT kAppTitleId = 57344;     // string: the application title
const UINT kHelpCommandId = 0xE146; // ID_HELP
const ULONG_PTR kHelpContextBase = 0x20000;

// The help id of the nearest dialog from `hwnd` up through parents and owners.
UINT FindHelpId(HWND hwnd) {
  for (; hwnd != nullptr; hwnd = ::GetParent(hwnd)) {
    UINT id = static_cast<UINT>(SendMessageA(hwnd, CDialog::HelpIdMessage(), 0, 0));
    if (id != 0) return id;
  }
  return 0;
}

}  // namespace

CWinApp* AfxGetApp() { return g_app; }

CWnd* AfxGetMainWnd() {
  // A main window whose window is gone is none.
  if (g_app == nullptr || g_app->m_pMainWnd == nullptr) return nullptr;
  return g_app->m_pMainWnd->m_hWnd != nullptr ? g_app->m_pMainWnd : nullptr;
}

UINT AddDefaultIcon(UINT type) {
  if ((type & MB_ICONMASK) != 0) return type;
  switch (type & MB_TYPEMASK) {
    case MB_OK:
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
    case MB_YESNO:
      return type | MB_ICONEXCLAMATION;
    default:
      return type;
  }
}

std::string AfxLoadString(UINT id) {
  if (UseWideCalls()) {
    wchar_t wide[1024];
    const int units = LoadStringW(GetModuleHandleA(nullptr), id, wide, sizeof wide / sizeof wide[0]);
    return WideToUtf8(std::wstring(wide, units > 0 ? units : 0));
  }
  char buffer[1024];
  int length = LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
  return AnsiToText(std::string(buffer, length > 0 ? length : 0));
}

std::string AfxGetAppTitle() {
  if (g_app != nullptr && !g_app->m_strAppName.empty()) return g_app->m_strAppName;
  return AfxLoadString(kAppTitleId);
}

int AfxMessageBox(const char* text, UINT type) {
  if (g_app == nullptr) return AfxOwnedMessageBox(nullptr, text, "Error", type);
  return AfxOwnedMessageBox(g_app->GetSafeOwner(), text, g_app->m_strAppName.c_str(),
                            AddDefaultIcon(type));
}

int AfxMessageBox(UINT idPrompt, UINT type) {
  return AfxMessageBox(AfxLoadString(idPrompt).c_str(), type);
}

CWinApp::CWinApp(const char* appName) {
  if (appName != nullptr) m_strAppName = appName;
  g_app = this;
}

CWinApp::~CWinApp() {
  if (m_hMsgFilter != nullptr) UnhookWindowsHookEx(m_hMsgFilter);
  if (g_app == this) g_app = nullptr;
}

bool CWinApp::InitApplication(HINSTANCE instance, const char* commandLine) {
  m_hInstance = instance;
  if (m_strAppName.empty()) m_strAppName = AfxLoadString(kAppTitleId);
  m_strCommandLine = commandLine != nullptr ? commandLine : "";
  m_strCmdLineTail = CommandLineTail(m_strCommandLine.c_str());

  const std::string modulePath = ModuleFilePath();
  if (!modulePath.empty()) m_strHelpFilePath = WithExtension(modulePath, ".HLP");

  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  // F1 in any of the program's dialogs becomes the Help command.
  if (m_hMsgFilter == nullptr) {
    m_hMsgFilter = SetWindowsHookExA(WH_MSGFILTER, HelpKeyFilter, nullptr, GetCurrentThreadId());
  }
  return true;
}

LRESULT CALLBACK CWinApp::HelpKeyFilter(int code, WPARAM wParam, LPARAM lParam) {
  CWinApp* app = g_app;
  HHOOK hook = app != nullptr ? app->m_hMsgFilter : nullptr;
  if (code == MSGF_DIALOGBOX && app != nullptr) {
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_F1 && GetKeyState(VK_SHIFT) >= 0 &&
        GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_MENU) >= 0) {
      HWND target = app->MainWindow();
      if (target != nullptr) {
        SendMessageA(target, WM_COMMAND, kHelpCommandId, 0);
      } else {
        // No main window: the command still reaches the application.
        try {
          app->OnCmdMsg(kHelpCommandId, 0);
        } catch (...) {
          AfxKeepException();
          EndInnermostModal();
        }
      }
      return TRUE;
    }
  }
  return CallNextHookEx(hook, code, wParam, lParam);
}

int CWinApp::Run() {
  MSG msg;
  // Unicode windows get their typed characters in UTF-16 only through the W loop.
  const bool wide = UseWideCalls();
  while ((wide ? GetMessageW(&msg, nullptr, 0, 0) : GetMessageA(&msg, nullptr, 0, 0)) > 0) {
    TranslateMessage(&msg);
    if (wide) {
      DispatchMessageW(&msg);
    } else {
      DispatchMessageA(&msg);
    }
  }
  ExitInstance();
  return static_cast<int>(msg.wParam);
}

void CWinApp::UseUtf8Text() {
  if (UsesUtf8Text()) return;
  if (m_bSystemCommandLine && !IsWindows9x()) {
    ::UseUtf8Text(true);
    m_strCommandLine = WideToUtf8(GetCommandLineW());
  } else {
    ::UseUtf8Text(true);
    m_strCommandLine = AnsiToText(m_strCommandLine);
  }
  m_strCmdLineTail = CommandLineTail(m_strCommandLine.c_str());
  const std::string modulePath = ModuleFilePath();
  if (!modulePath.empty()) m_strHelpFilePath = WithExtension(modulePath, ".HLP");
}

void CWinApp::SetRegistryKey(const char* key) {
  m_strRegistryKey = key;
  m_strProfileName = m_strAppName;
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info) const {
  ::ParseCommandLine(m_strCommandLine.c_str(), info);
}

HWND CWinApp::GetSafeOwner() const {
  HWND hwnd = MainWindow();
  if (hwnd == nullptr) hwnd = GetActiveWindow();
  if (hwnd == nullptr) return nullptr;
  hwnd = GetAncestor(hwnd, GA_ROOT);
  return GetLastActivePopup(hwnd);
}

BOOL CWinApp::CallWinHelp(HWND window, const char* helpFile, UINT command, ULONG_PTR data) {
  return ::WinHelpA(window, helpFile, command, data);
}

HWND CWinApp::CallHtmlHelp(HWND caller, const char* file, UINT command, DWORD_PTR data) {
  using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
  // Loaded once and kept: the viewer's windows live on the library's threads
  // until HH_CLOSE_ALL. From the system folder, never the program's own.
  static HtmlHelpFunction htmlHelp = [] {
    HMODULE library = LoadSystemLibrary("hhctrl.ocx");
    return library != nullptr
               ? reinterpret_cast<HtmlHelpFunction>(
                     reinterpret_cast<void*>(GetProcAddress(library, "HtmlHelpA")))
               : nullptr;
  }();
  return htmlHelp != nullptr ? htmlHelp(caller, file, command, data) : nullptr;
}

void CWinApp::SetHtmlHelp(const std::string& file, std::vector<HtmlHelpTopic> topics,
                          const std::string& contentsPage) {
  m_strHtmlHelpFile = file;
  m_HtmlHelpTopics = std::move(topics);
  m_strHtmlHelpContents = contentsPage;
}

std::string CWinApp::HtmlHelpTarget(ULONG_PTR data, UINT command) const {
  if (m_strHtmlHelpFile.empty()) return std::string();
  if (command != HELP_CONTEXT && command != HELP_CONTENTS && command != HELP_FINDER) {
    return std::string();
  }
  DWORD attributes = GetFileAttributesNamed(m_strHtmlHelpFile.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return std::string();
  }
  std::string page = m_strHtmlHelpContents;
  if (command == HELP_CONTEXT) {
    for (const HtmlHelpTopic& topic : m_HtmlHelpTopics) {
      if (topic.context == data) page = topic.page;
    }
  }
  return m_strHtmlHelpFile + "::/" + page;
}

bool CWinApp::OpenHelp(ULONG_PTR data, UINT command) {
  HWND main = MainWindow();
  HWND top = main != nullptr ? GetAncestor(main, GA_ROOT) : nullptr;
  // Closing the help (HELP_QUIT, sent as a window goes away) reports nothing.
  if (command == HELP_QUIT) {
    if (m_bHtmlHelpOpen) CallHtmlHelp(nullptr, nullptr, HH_CLOSE_ALL, 0);
    if (!m_bHtmlHelpOpen || m_bWinHelpUsed) {
      CallWinHelp(top, m_strHelpFilePath.c_str(), command, data);
    }
    m_bHtmlHelpOpen = false;
    m_bWinHelpUsed = false;
    return true;
  }
  const std::string target = HtmlHelpTarget(data, command);
  if (!target.empty() && CallHtmlHelp(top, target.c_str(), HH_DISPLAY_TOPIC, 0) != nullptr) {
    m_bHtmlHelpOpen = true;
    return true;
  }
  m_bWinHelpUsed = true;
  return CallWinHelp(top, m_strHelpFilePath.c_str(), command, data) != FALSE;
}

ULONG_PTR CWinApp::HelpContextAtFocus() const {
  HWND start = GetCapture();
  if (start == nullptr) start = GetFocus();
  if (start == nullptr) start = MainWindow();
  UINT id = FindHelpId(start);
  return id != 0 ? kHelpContextBase + id : 0;
}

int AfxWinMain(HINSTANCE instance, int cmdShow) {
  (void)cmdShow;
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return -1;
  try {
    app->m_bSystemCommandLine = true;
    if (!app->InitApplication(instance, GetCommandLineA())) return -1;
    if (app->InitializeInstance()) return app->Run();
    return app->ExitInstance();
  } catch (const std::exception& e) {
    // Nothing above this frame can handle it: leave a trace and a failure code.
    OutputDebugStringA(e.what());
    return -1;
  }
}
