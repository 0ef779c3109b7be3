#include "installer/backdrop.h"

#include <string>

#include "framework/dialog.h"
#include "framework/file_system.h"
#include "framework/wide.h"
#include "framework/win_app.h"
#include "installer/install_job.h"
#include "resources/resource.h"

namespace {

const COLORREF kBackdropColor = 0x000000CC;

HINSTANCE ResourceInstance() {
  CWinApp* app = AfxGetApp();
  if (app != nullptr && app->m_hInstance != nullptr) return app->m_hInstance;
  return GetModuleHandleA(nullptr);
}

// Text of the process's code page (UTF-8 where the program asks for it) as
// UTF-16.

// The DPI the window is drawn at: its monitor's under per-monitor awareness
// (GetDpiForWindow, Windows 10 1607 and later), else the screen's.
int WindowDpi(HWND hwnd, HDC dc) {
  using DpiForWindow = UINT(WINAPI*)(HWND);
  static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
  UINT dpi = dpiForWindow != nullptr ? dpiForWindow(hwnd) : 0;
  return dpi != 0 ? static_cast<int>(dpi) : GetDeviceCaps(dc, LOGPIXELSY);
}

}  // namespace

const MessageMapEntry CBackdropWindow::kMessageEntries[] = {
    MapMessage(WM_PAINT, &CBackdropWindow::OnPaint),
};
const MessageMap CBackdropWindow::kMessageMap = MakeMessageMap(&CWnd::kMessageMap, kMessageEntries);

CBackdropWindow::CBackdropWindow() : m_brBackground(kBackdropColor) {
  const char* className = RegisterWndClass(CS_HREDRAW | CS_VREDRAW, LoadCursorA(nullptr, IDC_ARROW), m_brBackground,
                                           LoadIconA(ResourceInstance(), MAKEINTRESOURCEA(IDI_SETUP)));
  CreateEx(0, className, "", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
           nullptr);
}

CBackdropWindow::~CBackdropWindow() {
  // The window goes before the brush that paints it.
  if (m_hWnd != nullptr) DestroyWindow();
}

void CBackdropWindow::ShowWithTitle(int nCmdShow, const std::string& suffix) {
  m_strTitle = AfxGetAppTitle() + " " + suffix;
  // A silent job shows no backdrop; its title still names the job's boxes.
  if (m_hWnd == nullptr || InstallJobIsSilent()) return;
  SetWindowText(m_strTitle);
  ShowWindow(nCmdShow);
  UpdateWindow();
}

LOGFONTA CBackdropWindow::TitleFont(int logPixelsY) {
  LOGFONTA font = {};
  font.lfHeight = -(logPixelsY * 280 / 720);
  font.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(font.lfFaceName, "Times New Roman", LF_FACESIZE);
  return font;
}

CBackdropWindow* CBackdropWindow::FindBackdrop(HWND hwnd) {
  for (; hwnd != nullptr; hwnd = ::GetParent(hwnd)) {
    if (auto* backdrop = dynamic_cast<CBackdropWindow*>(FromHandlePermanent(hwnd))) {
      return backdrop;
    }
  }
  return nullptr;
}

void CBackdropWindow::TakeException(HWND) {
  AfxKeepException();
  EndInnermostModal();
}

LRESULT CBackdropWindow::OnPaint(WPARAM, LPARAM) {
  CPaintDC dc(m_hWnd);
  SetBkMode(dc, TRANSPARENT);

  LOGFONTA logFont = TitleFont(WindowDpi(m_hWnd, dc));
  POINT height = {0, logFont.lfHeight};
  DPtoLP(dc, &height, 1);
  logFont.lfHeight = height.y;
  CFont font;
  font.CreateFontIndirect(logFont);
  CSelectObject selected(dc, font);

  SIZE space = {};
  GetTextExtentPoint32W(dc, L" ", 1, &space);
  const int margin = space.cx;
  // Drawn as wide text: the 8-bit drawing functions read the text in the
  // font's code page, which is not the process's (UTF-8 included).
  const std::wstring title = TextToWide(m_strTitle);
  const UINT length = static_cast<UINT>(title.size());

  // The shadow first, then the text over it.
  SetTextColor(dc, RGB(0, 0, 0));
  ExtTextOutW(dc, margin + 2, margin + 2, 0, nullptr, title.c_str(), length, nullptr);
  SetTextColor(dc, RGB(255, 255, 255));
  ExtTextOutW(dc, margin, margin, 0, nullptr, title.c_str(), length, nullptr);
  return 0;
}

int InstallerMessageBox(HWND owner, const std::string& text, UINT type) {
  if (InstallJobIsSilent()) {
    // Nobody is there to answer: the text goes to the log, and the answer
    // is the one that stops (No, Cancel), so that only a step that knows
    // what a silent job wants goes on.
    LogInstallStep("Message: " + text);
    switch (type & MB_TYPEMASK) {
      case MB_YESNO:
      case MB_YESNOCANCEL: return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDCANCEL;
      case MB_OKCANCEL:
      case MB_RETRYCANCEL: return IDCANCEL;
      default: return IDOK;
    }
  }
  CBackdropWindow* backdrop = CBackdropWindow::FindBackdrop(owner);
  std::string caption = backdrop != nullptr ? backdrop->GetWindowText() : AfxGetAppTitle();
  return AfxOwnedMessageBox(owner, text.c_str(), caption.c_str(), type);
}

int ShowLastErrorMessage(HWND owner, const std::string& text) {
  return InstallerMessageBox(owner, text + "\n\n" + SystemErrorText(GetLastError(), false), MB_ICONEXCLAMATION);
}
