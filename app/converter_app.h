#pragma once
#include <windows.h>

#include "framework/win_app.h"

class CMainDlg;

// The application: its start-up runs the installer's check and then the main
// dialog; the process ends when that closes.
class CConverterApp : public CWinApp {
 public:
  CConverterApp();
  ~CConverterApp() override;

  // Always FALSE: there is no message loop besides the modal dialogs.
  BOOL InitializeInstance() override;
  // The process's exit code: the installer's, for a job it ran.
  int ExitInstance() override;

  // Lets the installer look at the command-line tail; nonzero when this
  // process must end at once, 0 for a normal start.
  BOOL RunSelfInstall();

  // Opens the help at `data` (CWinApp::OpenHelp) and tells the user
  // "Failed to launch help." when it does not open.
  void WinHelp(ULONG_PTR data, UINT command = HELP_CONTEXT);
  // The Help command (ID_HELP: the Help buttons and F1): the help of the
  // dialog that has the focus, if it has any.
  void OnHelp();

  const MessageMap* GetMessageMap() const override { return &kMessageMap; }
  int m_nExitCode = 0;
  static const MessageMap kMessageMap;
  static const MessageMapEntry kMessageEntries[];
};
