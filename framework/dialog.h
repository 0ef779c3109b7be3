#pragma once
#include <windows.h>

#include <string>

#include "framework/wnd.h"

class CDialog;

// The modal loops the system runs for the program's dialogs (DialogBoxParam,
// GetOpenFileName), innermost last, and the exception kept meanwhile.
// Exceptions never cross system frames: window and dialog procedures catch
// them, keep the first one here and end the innermost modal dialog; the
// modal call rethrows it once its loop has returned.

// One running modal loop, the innermost while the object lives. `window` is
// the dialog's handle as it will be once the dialog exists.
class CModalScope {
 public:
  explicit CModalScope(const HWND& window);
  ~CModalScope();
  CModalScope(const CModalScope&) = delete;
  CModalScope& operator=(const CModalScope&) = delete;

 private:
  friend void EndInnermostModal();

  const HWND& m_hWindow;
  CModalScope* m_pOuter;
};

// Ends the innermost running modal dialog with -1 (after a kept exception).
void EndInnermostModal();

// Keeps the exception being handled, unless one is kept already.
void AfxKeepException();
// Rethrows and clears the kept exception, if any.
void AfxRethrowKeptException();

// One direction of the dialog's data exchange.
class CDataExchange {
 public:
  CDataExchange(CDialog* dialog, bool saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
  CDialog* m_pDlgWnd;
  bool m_bSaveAndValidate;  // true: controls to members; false: members to controls
};

// Binds `control` to the dialog's control `id` (once); throws std::runtime_error
// when the template has no such control.
void DDX_Control(CDataExchange& dx, int id, CWnd& control);
// Exchanges a member with a control's text.
void DDX_Text(CDataExchange& dx, int id, std::string& value);

// A dialog on a numbered template of the program's resources, modal (DoModal)
// or modeless (Create). One dialog procedure serves all: `this` arrives with
// WM_INITDIALOG, is kept behind the window as for any CWnd and cleared at
// WM_NCDESTROY and in the destructor; messages before WM_INITDIALOG get FALSE.
// Exceptions of handlers are kept, the dialog ended, and DoModal rethrows.
//
// A top-level dialog that OnInitDialog leaves where the template put it is
// centred over its owner, or over the screen when it has none.
// Handled by the base: IDOK runs OnOK (data exchange, then EndDialog(IDOK)),
// IDCANCEL runs OnCancel (EndDialog(IDCANCEL)). WM_COMMAND that no table
// handles goes on to the command target the dialog was given (the
// application's map, for ID_HELP). The dialog's help id, which the Help
// command asks for, is its template number.
class CDialog : public CWnd {
 public:
  // `parent` owns the dialog's window (none: it has no owner);
  // `commandTarget` takes the commands no table of the dialog takes (none:
  // they are left to the system).
  explicit CDialog(UINT templateId, HWND parent = nullptr, CCmdTarget* commandTarget = nullptr);
  ~CDialog() override;

  // Runs the dialog modally; returns EndDialog's result, or -1 when the
  // dialog could not be created. Rethrows an exception that a handler threw.
  virtual INT_PTR DoModal();
  // Creates the dialog modeless, owned by `parent` (default: the parent given
  // at construction); false if it could not be created.
  bool Create(HWND parent = nullptr);

  // Ends a modal dialog with `result`; a modeless one is destroyed and keeps
  // the result in m_nModalResult.
  void EndDialog(int result);

  // Runs DoDataExchange in one direction; its exceptions pass through (inside
  // the dialog procedure they are kept and rethrown after the modal loop).
  bool UpdateData(bool saveAndValidate = true);

  UINT GetTemplateId() const { return m_nIDTemplate; }
  bool IsModal() const { return m_bModal; }

  const MessageMap* GetMessageMap() const override { return &kMessageMap; }
  static const MessageMap kMessageMap;
  static const MessageMapEntry kMessageEntries[];

  UINT m_nIDHelp;                // help id: the template number
  INT_PTR m_nModalResult = 0;    // the result EndDialog was given
  CCmdTarget* m_pCommandTarget;  // where the commands no table takes go; may be null

  // Asked of a window by the Help command: a dialog answers its help id.
  static UINT HelpIdMessage();

 protected:
  virtual BOOL OnInitDialog();  // runs the data exchange into the controls
  virtual void OnOK();
  virtual void OnCancel();
  virtual void DoDataExchange(CDataExchange& dx);

  LRESULT Default() override;

  // One message for the dialog's object, as a dialog procedure answers it
  // (TRUE/FALSE, the result itself for the WM_CTLCOLOR... kind).
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  // Keeps the exception; a modal dialog ends with -1, a modeless one ends
  // the innermost modal one.
  void TakeException(HWND hwnd) override;

  // The procedure core of dialogs, for the dialog procedure and the file
  // dialog's hook: keeps `arriving` (the object WM_INITDIALOG brings; null
  // for other messages) behind the window; messages before it get FALSE.
  static INT_PTR DispatchDialogMessage(CDialog* arriving, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  // Runs the modal call the system makes for this dialog (DialogBoxParam,
  // GetOpenFileName) as the innermost modal loop, then rethrows what a
  // handler threw meanwhile.
  template <class Call>
  auto RunModal(Call call) -> decltype(call()) {
    m_bModal = true;
    decltype(call()) result;
    {
      CModalScope modal(m_hWnd);
      result = call();
    }
    m_bModal = false;
    AfxRethrowKeptException();
    return result;
  }

  HWND m_hWndParent;
  UINT m_nIDTemplate;
  bool m_bModal = false;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};
