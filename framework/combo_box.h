#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "framework/wnd.h"

// A combo box: a handle with a few inline calls, like the other control
// wrappers (framework/controls.h). Bound with DDX_Control or built on the
// control's handle; it never destroys a window it did not create. The calls
// change the control, not this object, so they work on a const wrapper too.
class CComboBox : public CWnd {
 public:
  CComboBox() = default;
  explicit CComboBox(HWND hwnd) : CWnd(hwnd) {}

  int GetCount() const { return Send(CB_GETCOUNT); }
  int GetCurSel() const { return Send(CB_GETCURSEL); }
  int SetCurSel(int index) const { return Send(CB_SETCURSEL, index); }

  // The list item's text; false (text emptied) for an index outside the list.
  bool GetLBText(int index, std::string& text) const {
    text.clear();
    const int length = Send(CB_GETLBTEXTLEN, index);
    if (length == CB_ERR) return false;
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    const int copied = Send(CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer.data()));
    if (copied == CB_ERR) return false;
    text.assign(buffer.data(), static_cast<size_t>(copied));
    return true;
  }
  std::string GetLBText(int index) const {
    std::string text;
    GetLBText(index, text);
    return text;
  }

  // These return the item's index, or CB_ERR / CB_ERRSPACE.
  int AddString(const char* text) const {
    return Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  int InsertString(int index, const char* text) const {
    return Send(CB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text));
  }
  // Returns the number of items left, or CB_ERR.
  int DeleteString(int index) const { return Send(CB_DELETESTRING, index); }
  void ResetContent() const { Send(CB_RESETCONTENT); }
  // Whole-text match without regard to case, searching after index start (-1: all).
  int FindStringExact(int start, const char* text) const {
    return Send(CB_FINDSTRINGEXACT, start, reinterpret_cast<LPARAM>(text));
  }
  bool LimitText(int maxChars) const { return Send(CB_LIMITTEXT, maxChars) != 0; }
  // The edit field's text: GetWindowText / SetWindowText of CWnd.

 private:
  int Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return static_cast<int>(SendMessage(message, wParam, lParam));
  }
};
