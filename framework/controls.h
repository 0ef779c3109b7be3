#pragma once
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include "framework/system_library.h"
#include "framework/wnd.h"

// Wrappers of the standard controls this program uses. Each is a CWnd: a
// handle with a few inline calls; bound to a dialog's control with DDX_Control
// or GetDlgItem, or created (CreateEx) when the template has only a placeholder.

class CButton : public CWnd {
 public:
  CButton() = default;
  explicit CButton(HWND hwnd) : CWnd(hwnd) {}
  int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
  void SetCheck(int state) const { SendMessage(BM_SETCHECK, state); }
  void Click() const { SendMessage(BM_CLICK); }
};

class CEdit : public CWnd {
 public:
  CEdit() = default;
  explicit CEdit(HWND hwnd) : CWnd(hwnd) {}
  void SetLimitText(UINT maxChars) const { SendMessage(EM_LIMITTEXT, maxChars); }
  void SetSel(int start, int end) const { SendMessage(EM_SETSEL, start, end); }
  void SetReadOnly(bool readOnly = true) const { SendMessage(EM_SETREADONLY, readOnly); }
};

class CStatic : public CWnd {
 public:
  CStatic() = default;
  explicit CStatic(HWND hwnd) : CWnd(hwnd) {}
  HICON SetIcon(HICON icon) const {
    return reinterpret_cast<HICON>(SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(icon)));
  }
};

// The up-down control ("msctls_updown32").
class CSpinButtonCtrl : public CWnd {
 public:
  CSpinButtonCtrl() = default;
  explicit CSpinButtonCtrl(HWND hwnd) : CWnd(hwnd) {}
  // UDM_SETRANGE: the minimum in the high word, the maximum in the low word.
  void SetRange(short lower, short upper) const {
    SendMessage(UDM_SETRANGE, 0, MAKELPARAM(upper, lower));
  }
  void GetRange(int& lower, int& upper) const {
    LRESULT range = SendMessage(UDM_GETRANGE);
    lower = static_cast<short>(HIWORD(range));
    upper = static_cast<short>(LOWORD(range));
  }
  int GetPos() const { return static_cast<short>(LOWORD(SendMessage(UDM_GETPOS))); }
  HWND GetBuddy() const { return reinterpret_cast<HWND>(SendMessage(UDM_GETBUDDY)); }
};

// The rich edit control 1.0 (class "RICHEDIT" of RICHED32.DLL).
class CRichEditCtrl : public CWnd {
 public:
  CRichEditCtrl() = default;
  // Loads RICHED32.DLL (once, from the system folder) and creates the
  // control; this object then handles its messages through its message map.
  bool Create(DWORD style, const RECT& rect, HWND parent, UINT id) {
    static HMODULE library = LoadSystemLibrary("RICHED32.DLL");
    if (library == nullptr) return false;
    return CreateEx(0, "RICHEDIT", "", style, rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, parent,
                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)));
  }
  void SetSel(long start, long end) const {
    CHARRANGE range = {start, end};
    SendMessage(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
  }
  long StreamIn(int format, EDITSTREAM& stream) const {
    return static_cast<long>(SendMessage(EM_STREAMIN, format, reinterpret_cast<LPARAM>(&stream)));
  }
};
