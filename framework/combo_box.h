#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "framework/wide.h"
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
    if (UseWideCalls()) {
      const int units = SendWide(CB_GETLBTEXTLEN, index);
      if (units == CB_ERR) return false;
      std::vector<wchar_t> buffer(static_cast<size_t>(units) + 1);
      const int copied = SendWide(CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer.data()));
      if (copied == CB_ERR) return false;
      text = WideToUtf8(std::wstring(buffer.data(), static_cast<size_t>(copied)));
      return true;
    }
    const int length = Send(CB_GETLBTEXTLEN, index);
    if (length == CB_ERR) return false;
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    const int copied = Send(CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer.data()));
    if (copied == CB_ERR) return false;
    text = AnsiToText(std::string(buffer.data(), static_cast<size_t>(copied)));
    return true;
  }
  std::string GetLBText(int index) const {
    std::string text;
    GetLBText(index, text);
    return text;
  }

  // These return the item's index, or CB_ERR / CB_ERRSPACE.
  // The texts are the framework's text (framework/wide.h).
  int AddString(const char* text) const { return SendText(CB_ADDSTRING, 0, text); }
  int InsertString(int index, const char* text) const { return SendText(CB_INSERTSTRING, index, text); }
  // Returns the number of items left, or CB_ERR.
  int DeleteString(int index) const { return Send(CB_DELETESTRING, index); }
  void ResetContent() const { Send(CB_RESETCONTENT); }
  // Whole-text match without regard to case, searching after index start (-1: all).
  int FindStringExact(int start, const char* text) const { return SendText(CB_FINDSTRINGEXACT, start, text); }
  bool LimitText(int maxChars) const { return Send(CB_LIMITTEXT, maxChars) != 0; }
  // The edit field's text: GetWindowText / SetWindowText of CWnd.

 private:
  int Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return static_cast<int>(SendMessage(message, wParam, lParam));
  }
  int SendWide(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return static_cast<int>(::SendMessageW(m_hWnd, message, wParam, lParam));
  }
  // A message with a text: UTF-16 through the W call where the framework
  // uses them.
  int SendText(UINT message, WPARAM wParam, const char* text) const {
    if (UseWideCalls()) {
      const std::wstring wide = Utf8ToWide(text != nullptr ? text : "");
      return SendWide(message, wParam, reinterpret_cast<LPARAM>(wide.c_str()));
    }
    const std::string ansi = TextToAnsiForDisplay(text != nullptr ? text : "");
    return Send(message, wParam, reinterpret_cast<LPARAM>(text != nullptr ? ansi.c_str() : nullptr));
  }
};
