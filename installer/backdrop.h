#pragma once
#include <windows.h>

#include <string>

#include "framework/gdi.h"
#include "framework/wnd.h"

// The installer's backdrop: an ordinary top-level window with a dark red
// client area and its caption painted large in its top-left corner. It owns
// every installer dialog, progress box and message box, and lends its caption
// to the installer's message boxes. Created hidden; ShowWithTitle shows it.
class CBackdropWindow : public CWnd {
 public:
  // Registers the window class and creates the window, hidden, at the
  // platform's default place and size. A window that cannot be created is
  // not reported: the object then has no window.
  CBackdropWindow();
  // Destroys the window (if it still exists), then the brush.
  ~CBackdropWindow() override;

  // Caption := application title + " " + suffix; shows the window with the
  // show command and paints it at once.
  void ShowWithTitle(int nCmdShow, const std::string& suffix);

  const std::string& GetTitle() const { return m_strTitle; }

  // The font the title is painted in, for a device with `logPixelsY` pixels
  // per vertical inch: Times New Roman, 28 points.
  static LOGFONTA TitleFont(int logPixelsY);

  // The nearest backdrop from `hwnd` up the parent (owner) chain, or null.
  static CBackdropWindow* FindBackdrop(HWND hwnd);

  const MessageMap* GetMessageMap() const override { return &kMessageMap; }
  static const MessageMapEntry kMessageEntries[];
  static const MessageMap kMessageMap;

 protected:
  LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
  // Nothing of ours is above the backdrop: an exception of its handlers is
  // kept and ends the innermost modal dialog, whose DoModal rethrows it.
  void TakeException(HWND hwnd) override;

 private:
  std::string m_strTitle;  // empty until shown
  CBrush m_brBackground;   // 0x000000CC: red 204, green 0, blue 0
};

// The backdrop's earlier name, still in use.
using CSelfInstallWindow = CBackdropWindow;

// Every message box of the installer: a MessageBoxA owned by `owner` with
// `type`, through the program's message-box routine. Its caption is the
// title of the nearest backdrop up the owner's parent chain, else the
// application title. Returns the button pressed.
int InstallerMessageBox(HWND owner, const std::string& text, UINT type);

// Shows text + "\n\n" + the system's text for GetLastError() through
// InstallerMessageBox with MB_ICONEXCLAMATION.
int ShowLastErrorMessage(HWND owner, const std::string& text);
