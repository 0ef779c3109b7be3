#pragma once
#include <windows.h>

#include <string>

#include "framework/message_map.h"

// A window. Used two ways:
// - as a non-owning wrapper of any HWND (CWnd(hwnd), GetDlgItem): the object
//   is a handle with short helpers and never destroys the window;
// - as the object behind a window it created (CreateEx) or subclassed
//   (SubclassWindow): messages go through its message map, and the window is
//   destroyed (or unsubclassed) with the object.
// The object pointer is kept in a window property, set at WM_NCCREATE (or at
// subclassing; for dialogs at WM_INITDIALOG) and removed at WM_NCDESTROY and
// in the destructor, so no late message reaches a half-destroyed object.
// FromHandlePermanent reads it for windows and dialogs alike.
class CWnd : public CCmdTarget {
 public:
  CWnd() = default;
  explicit CWnd(HWND hwnd) : m_hWnd(hwnd) {}
  ~CWnd() override;

  operator HWND() const { return m_hWnd; }
  HWND GetSafeHwnd() const { return m_hWnd; }

  // Wraps a window without taking it over.
  void Attach(HWND hwnd) { m_hWnd = hwnd; }
  HWND Detach();

  // Registers (once) a window class with these attributes and returns its
  // generated name; the class's procedure dispatches to CWnd objects.
  static const char* RegisterWndClass(UINT classStyle, HCURSOR cursor = nullptr,
                                      HBRUSH background = nullptr, HICON icon = nullptr);
  // Creates a window of a class from RegisterWndClass, or of a system class
  // (which is then subclassed); this object handles its messages.
  bool CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                int x, int y, int width, int height, HWND parent, HMENU menuOrId);
  // Routes an existing window's messages through this object.
  bool SubclassWindow(HWND hwnd);
  bool SubclassDlgItem(int id, HWND parent) { return SubclassWindow(::GetDlgItem(parent, id)); }
  HWND UnsubclassWindow();
  bool DestroyWindow();

  // The object behind a window, if it is one of ours.
  static CWnd* FromHandlePermanent(HWND hwnd);

  // Thin helpers.
  LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageA(m_hWnd, msg, wParam, lParam);
  }
  bool PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::PostMessageA(m_hWnd, msg, wParam, lParam) != FALSE;
  }
  std::string GetWindowText() const;
  // The window's text as the framework's text (framework/wide.h): in UTF-16
  // through the W calls where the framework uses them.
  void SetWindowText(const char* text) const;
  void SetWindowText(const std::string& text) const { SetWindowText(text.c_str()); }
  CWnd GetDlgItem(int id) const { return CWnd(::GetDlgItem(m_hWnd, id)); }
  std::string GetDlgItemText(int id) const;
  void SetDlgItemText(int id, const char* text) const { GetDlgItem(id).SetWindowText(text); }
  bool EnableWindow(bool enable = true) const { return ::EnableWindow(m_hWnd, enable) != FALSE; }
  bool IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd) != FALSE; }
  bool ShowWindow(int cmdShow) const { return ::ShowWindow(m_hWnd, cmdShow) != FALSE; }
  bool IsWindowVisible() const { return ::IsWindowVisible(m_hWnd) != FALSE; }
  bool IsWindow() const { return m_hWnd != nullptr && ::IsWindow(m_hWnd); }
  bool IsIconic() const { return ::IsIconic(m_hWnd) != FALSE; }
  void UpdateWindow() const { ::UpdateWindow(m_hWnd); }
  void Invalidate(bool erase = true) const { ::InvalidateRect(m_hWnd, nullptr, erase); }
  HWND SetFocus() const { return ::SetFocus(m_hWnd); }
  HWND GetParent() const { return ::GetParent(m_hWnd); }
  RECT GetWindowRect() const;
  RECT GetClientRect() const;
  void ScreenToClient(RECT& rect) const;
  void SetFont(HFONT font, bool redraw = true) const {
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
  }
  HICON SetIcon(HICON icon, bool big) const {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
  }
  // Centres over `over` (default: the owner, else the screen's work area).
  void CenterWindow(HWND over = nullptr) const;

  HWND m_hWnd = nullptr;

 protected:
  // Handles one message of a window this object owns: the message map first,
  // then DefWindowProc. Exceptions are caught by ProcessMessage.
  virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
  // The default processing: the subclassed window's own procedure, or
  // DefWindowProcW for a Unicode window, DefWindowProcA for another.
  virtual LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
  // Inside a handler: the default processing of the message being handled.
  virtual LRESULT Default();
  // Called after the last message (WM_NCDESTROY), when m_hWnd is already null.
  virtual void PostNcDestroy() {}

  // The message being handled, for Default().
  struct CurrentMessage {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    bool wantsDefault;
  };
  // Runs the map's handler for `current`, which is the message being handled
  // (for Default()) meanwhile; false if the map has none.
  bool DispatchToMap(CurrentMessage& current, LRESULT& result);
  CurrentMessage* m_pCurrentMsg = nullptr;

  // The one procedure core of windows, dialogs and the file dialog's hook:
  // one message through self's WindowProc. An exception is never let through
  // the system's frames: TakeException gets it while it is being handled;
  // after WM_NCDESTROY the object lets go of the window (LetGoOfWindow).
  static LRESULT ProcessMessage(CWnd* self, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  // Inside the handler of an exception that a message of `hwnd` threw: a
  // window hands it to the nearest window of ours up its parents and owners
  // (the dialog it sits in keeps it and ends the modal loop that would hold
  // it up). A window with none above it lets it go with a trace to the
  // debugger; one that can do better overrides this.
  virtual void TakeException(HWND hwnd);
  // After WM_NCDESTROY: the window no longer leads here, a subclassed one
  // has its own procedure back, and PostNcDestroy runs.
  virtual void LetGoOfWindow(HWND hwnd);

  // Puts this object behind hwnd (m_hWnd and the window's pointer to the
  // object) and takes it away again.
  void AttachObject(HWND hwnd);
  void DetachObject();

  static LRESULT CALLBACK StandardWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

 private:
  WNDPROC m_pfnSuper = nullptr;  // the subclassed window's own procedure
  bool m_bSuperWide = false;     // ...which takes the W messages
  bool m_bOwnsWindow = false;    // created by CreateEx: destroyed with the object
};
