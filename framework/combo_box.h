#pragma once
#include <windows.h>

#include <string>
#include <vector>

// A combo box addressed by its window handle. It does not own the window:
// copies are cheap and destroying one leaves the control alone.
class CComboBox {
 public:
  CComboBox() = default;
  CComboBox(HWND hWnd) : m_hWnd(hWnd) {}  // NOLINT: an HWND is a combo box to us

  HWND m_hWnd = nullptr;
  operator HWND() const { return m_hWnd; }
  HWND GetSafeHwnd() const { return m_hWnd; }
  void Attach(HWND hWnd) { m_hWnd = hWnd; }

  int GetCount() const { return Send(CB_GETCOUNT); }
  int GetCurSel() const { return Send(CB_GETCURSEL); }
  int SetCurSel(int index) { return Send(CB_SETCURSEL, index); }

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
  int AddString(const char* text) { return Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)); }
  int InsertString(int index, const char* text) {
    return Send(CB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text));
  }
  // Returns the number of items left, or CB_ERR.
  int DeleteString(int index) { return Send(CB_DELETESTRING, index); }
  void ResetContent() { Send(CB_RESETCONTENT); }
  // Whole-text match without regard to case, searching after index start (-1: all).
  int FindStringExact(int start, const char* text) const {
    return Send(CB_FINDSTRINGEXACT, start, reinterpret_cast<LPARAM>(text));
  }
  bool LimitText(int maxChars) { return Send(CB_LIMITTEXT, maxChars) != 0; }

  // The text of the edit field.
  std::string GetWindowText() const {
    std::string text;
    const int length = ::GetWindowTextLengthA(m_hWnd);
    if (length <= 0) return text;
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    const int copied = ::GetWindowTextA(m_hWnd, buffer.data(), length + 1);
    text.assign(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
  }
  bool SetWindowText(const char* text) { return ::SetWindowTextA(m_hWnd, text) != FALSE; }

 private:
  int Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return static_cast<int>(::SendMessageA(m_hWnd, message, wParam, lParam));
  }
};
