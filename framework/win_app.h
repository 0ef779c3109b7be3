#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/command_line.h"
#include "framework/dialog.h"
#include "framework/message_box.h"
#include "framework/wnd.h"

// The application object: one static object per program, derived from
// CWinApp. The entry point (AfxWinMain, called by WinMain) sets up the
// framework and calls InitializeInstance, where the program does its work;
// when that returns FALSE the process ends after ExitInstance.
//
// It is also the program's message-box routine: every AfxMessageBox gets the
// application title as caption, the current top-level window as owner and the
// exclamation icon when the style names no icon (see AddDefaultIcon). And it
// is the dialogs' host: their owner, the commands they leave, the main window.
class CWinApp : public CCmdTarget, public CMessageBoxRoutine, public CDialogHost {
 public:
  // With no name the title comes from string resource 57344.
  explicit CWinApp(const char* appName = nullptr);
  ~CWinApp() override;

  // The framework's start: instance, title, help file path, command-line
  // tail, common controls and the F1 key. The entry point calls it; tests
  // may call it too.
  bool InitApplication(HINSTANCE instance, const char* commandLine);
  // The program's start-up; TRUE runs the message loop (Run), FALSE ends.
  virtual BOOL InitializeInstance() { return FALSE; }
  virtual int Run();
  virtual int ExitInstance() { return 0; }

  // The settings' registry location: HKEY_CURRENT_USER\Software\<key>\<profile>.
  // Setting the key also sets the profile name to the title.
  void SetRegistryKey(const char* key);
  // May throw std::bad_alloc.
  void SetProfileName(const char* profile) { m_strProfileName = profile; }

  // Parses this process's command line into `info`.
  void ParseCommandLine(CCommandLineInfo& info) const;

  int DoMessageBox(const char* text, UINT type) override;
  // The caller's owner, caption and style as they are.
  int DoOwnedMessageBox(HWND owner, const char* text, const char* caption, UINT type) override;

  // The window a new message box or modal dialog belongs to: the last active
  // popup of the main window (null if `except` is the main window itself).
  HWND GetSafeOwner(const CWnd* except = nullptr) const override;

  // One page of an HTML Help file and the help context that opens it.
  struct HtmlHelpTopic {
    ULONG_PTR context;
    std::string page;  // path inside the file, such as "main.html"
  };
  // Prefers HTML Help to WinHelp: while `file` exists and the system's HTML
  // Help can be loaded, help opens the page of the context asked for, or
  // `contentsPage` for a context without a page of its own.
  void SetHtmlHelp(const std::string& file, std::vector<HtmlHelpTopic> topics,
                   const std::string& contentsPage);

  // Opens the help at `data`: the HTML Help page when there is one, else
  // WinHelp for the help file; reports "Failed to launch help." when neither
  // opens. HELP_QUIT closes what was opened and reports nothing.
  void WinHelp(ULONG_PTR data, UINT command = HELP_CONTEXT);
  // The Help command (ID_HELP, the Help button and F1): opens the help at
  // 0x20000 + the help id of the nearest dialog up from the focus.
  void OnHelp();

  HINSTANCE m_hInstance = nullptr;
  std::string m_strAppName;        // the application title
  std::string m_strRegistryKey;
  std::string m_strProfileName;
  std::string m_strHelpFilePath;   // the program's path with ".HLP"
  std::string m_strCommandLine;    // the whole command line
  std::string m_strCmdLineTail;    // the command line without the program's name
  CWnd* m_pMainWnd = nullptr;      // the main window while it exists
  // The shell command the application was started for, once someone records
  // one. Exit processing writes nothing to the profile; with AppUnregister
  // (set by the uninstall) it must never start to.
  std::unique_ptr<CCommandLineInfo> m_pCmdInfo;

 protected:
  // Seams over the system: tests override them to record and to answer.
  virtual int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type);
  virtual BOOL CallWinHelp(HWND window, const char* helpFile, UINT command, ULONG_PTR data);
  // HtmlHelpA of hhctrl.ocx, loaded at the first call; null when it cannot
  // be loaded (the program runs on without HTML Help) or the call fails.
  virtual HWND CallHtmlHelp(HWND caller, const char* file, UINT command, DWORD_PTR data);

 private:
  static LRESULT CALLBACK HelpKeyFilter(int code, WPARAM wParam, LPARAM lParam);

  bool OnDialogCommand(UINT id, UINT code) override { return OnCmdMsg(id, code); }
  void OnDialogDestroyed(const CDialog* dialog) override {
    if (m_pMainWnd == dialog) m_pMainWnd = nullptr;
  }

  // The HTML Help page for `data` of `command`, as "file::/page"; empty
  // when HTML Help is not to be asked.
  std::string HtmlHelpTarget(ULONG_PTR data, UINT command) const;

  HHOOK m_hMsgFilter = nullptr;
  CMessageBoxRoutine* m_pPrevRoutine = nullptr;

  std::string m_strHtmlHelpFile;
  std::vector<HtmlHelpTopic> m_HtmlHelpTopics;
  std::string m_strHtmlHelpContents;
  // What the session opened, so that HELP_QUIT closes just that.
  bool m_bHtmlHelpOpen = false;
  bool m_bWinHelpUsed = false;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();

// The message-box rule for styles without an icon: OK, OK/Cancel, Yes/No/Cancel
// and Yes/No get MB_ICONEXCLAMATION; other button sets stay without icon.
UINT AddDefaultIcon(UINT type);

// A string of the program's string table; empty when there is none.
std::string AfxLoadString(UINT id);
// The application title: the application object's, or string 57344 of the
// string table in a process without one (or before it has its title).
std::string AfxGetAppTitle();
// Shows string resource `idPrompt` through the message-box routine.
int AfxMessageBox(UINT idPrompt, UINT type = MB_OK);

// The framework's entry point; WinMain calls it.
int AfxWinMain(HINSTANCE instance, int cmdShow);
