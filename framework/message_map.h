#pragma once
#include <windows.h>

#include <cstddef>

// Message maps: each class that handles messages keeps one static const table
// of entries {message, code, id, handler} and points at its base class's table,
// so lookups walk from the most derived class to CCmdTarget. The first entry
// that matches wins; a derived class therefore overrides its base.
//
// The handler signatures, one per kind of entry (build entries with the
// helpers below, which check the signature at compile time):
//
//   MapCommand(id, &C::OnX)           void OnX()
//       WM_COMMAND from a button, menu or accelerator (notification code 0,
//       which is also BN_CLICKED) with control or command id `id`.
//   MapControl(code, id, &C::OnX)     void OnX()
//       WM_COMMAND carrying notification `code` (EN_CHANGE, LBN_SELCHANGE...)
//       from control `id`.
//   MapNotify(code, id, &C::OnX)      LRESULT OnX(NMHDR* header)
//       WM_NOTIFY with `code` from control `id`; the result is the message's.
//   MapMessage(WM_X, &C::OnX)         LRESULT OnX(WPARAM wParam, LPARAM lParam)
//       any other message. The result is the message's result. A handler
//       that wants the default processing as well calls CWnd::Default()
//       (in a window this runs the default procedure at once and returns
//       its result; in a dialog it lets the dialog manager do its default
//       after the handler).
//
// Build the table itself with MakeMessageMap, which takes the entry array
// (not a count that could drift from it); a class with no entries of its own
// passes only its base's table.
//
// Example, for a dialog:
//   const MessageMapEntry CMyDlg::kMessageEntries[] = {
//       MapMessage(WM_PAINT, &CMyDlg::OnPaint),
//       MapCommand(IDC_BROWSE, &CMyDlg::OnBrowse),
//   };
//   const MessageMap CMyDlg::kMessageMap =
//       MakeMessageMap(&CDialog::kMessageMap, kMessageEntries);
//   const MessageMap* CMyDlg::GetMessageMap() const { return &kMessageMap; }
// and for one without handlers:
//   const MessageMap CMyOtherDlg::kMessageMap = MakeMessageMap(&CDialog::kMessageMap);

class CCmdTarget;

struct MessageMapEntry {
  UINT message;  // WM_COMMAND, WM_NOTIFY or any other message
  UINT code;     // notification code of WM_COMMAND / WM_NOTIFY entries, else 0
  UINT id;       // control or command id of WM_COMMAND / WM_NOTIFY entries, else 0
  void (CCmdTarget::*onCommand)();
  LRESULT (CCmdTarget::*onNotify)(NMHDR*);
  LRESULT (CCmdTarget::*onMessage)(WPARAM, LPARAM);
};

struct MessageMap {
  const MessageMap* base;  // the base class's table; null for CCmdTarget
  const MessageMapEntry* entries;
  std::size_t count;
};

// A table of `entries`, chained to `base` (null only for CCmdTarget's own).
template <std::size_t N>
constexpr MessageMap MakeMessageMap(const MessageMap* base, const MessageMapEntry (&entries)[N]) {
  return {base, entries, N};
}
// A table without entries of its own: lookups go straight on to `base`.
constexpr MessageMap MakeMessageMap(const MessageMap* base) { return {base, nullptr, 0}; }

template <class T>
constexpr MessageMapEntry MapCommand(UINT id, void (T::*handler)()) {
  return {WM_COMMAND, 0, id, static_cast<void (CCmdTarget::*)()>(handler), nullptr, nullptr};
}

template <class T>
constexpr MessageMapEntry MapControl(UINT code, UINT id, void (T::*handler)()) {
  return {WM_COMMAND, code, id, static_cast<void (CCmdTarget::*)()>(handler), nullptr, nullptr};
}

template <class T>
constexpr MessageMapEntry MapNotify(UINT code, UINT id, LRESULT (T::*handler)(NMHDR*)) {
  return {WM_NOTIFY, code, id, nullptr, static_cast<LRESULT (CCmdTarget::*)(NMHDR*)>(handler),
          nullptr};
}

template <class T>
constexpr MessageMapEntry MapMessage(UINT message, LRESULT (T::*handler)(WPARAM, LPARAM)) {
  return {message, 0, 0, nullptr, nullptr,
          static_cast<LRESULT (CCmdTarget::*)(WPARAM, LPARAM)>(handler)};
}

// Base of everything that has a message map: windows and the application.
class CCmdTarget {
 public:
  CCmdTarget() = default;
  CCmdTarget(const CCmdTarget&) = delete;
  CCmdTarget& operator=(const CCmdTarget&) = delete;
  virtual ~CCmdTarget() = default;

  virtual const MessageMap* GetMessageMap() const { return &kMessageMap; }

  // Runs the command handler for (id, code) when the map has one.
  bool OnCmdMsg(UINT id, UINT code);

  // The first entry for this message (and, for WM_COMMAND / WM_NOTIFY, this
  // code and id), searching from this class's table up to the base's.
  const MessageMapEntry* FindEntry(UINT message, UINT code, UINT id) const;

  static const MessageMap kMessageMap;
};
