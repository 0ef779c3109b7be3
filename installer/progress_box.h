#pragma once
#include <windows.h>

#include <string>

#include "framework/dialog.h"

// The installer's progress box (template 502): a small modeless box with the
// installer icon and one line of text, shown for one scope of the caller.
// Constructing it shows it, painted, and disables the parent; destroying it
// re-enables the parent and closes it, after it has been on the screen for at
// least 500 ms. A caller may destroy its window early.
class CProgressBox : public CDialog {
 public:
  // No window; the closing step then neither waits nor enables anything.
  CProgressBox();
  // Shows `text`, owned by `parent` (may be null: centred on the screen).
  CProgressBox(const std::string& text, HWND parent);
  ~CProgressBox() override;

  // How long the closing step waits when the box appeared at `start` and
  // closes at `now` (tick counts in ms): whatever is left of 500 ms, nothing
  // once they have passed or when the count has wrapped around.
  static DWORD RemainingDisplayTime(DWORD start, DWORD now);

  static const DWORD kMinimumDisplayTime = 500;

 protected:
  BOOL OnInitDialog() override;

 private:
  // Paints the box and its controls now: the caller's work pumps no messages.
  void PaintNow();

  HWND m_pParentWnd = nullptr;   // disabled while the box is up
  DWORD m_dwStartTime = 0;       // GetTickCount when the text was set
  bool m_bShown = false;         // the box was created and the start time taken
  bool m_bEnableParent = false;  // the box disabled the parent, so enables it again
};

// The progress box's earlier name, still in use.
using CSelfInstallMessageDlg = CProgressBox;
