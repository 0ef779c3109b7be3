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
// It gives the program's boxes (AfxMessageBox) their caption and owner. It
// shows no box of its own: what fails is returned, and the program decides
// what the user is told. Dialogs reach it only through what their creator
// gives them (a parent window, a command target).
class CWinApp : public CCmdTarget {
 public:
  // With no name the title comes from string resource 57344.
  explicit CWinApp(const char* appName = nullptr);
  ~CWinApp() override;

  // The framework's start: instance, title, help file path, command-line
  // tail, common controls and the F1 key. The entry point calls it; tests
  // may call it too.
  bool InitApplication(HINSTANCE instance, const char* commandLine);
  // From now on the program's text is UTF-8 (framework/wide.h): the command
  // line and the help file's path are taken again as UTF-8 (the system's
  // command line from GetCommandLineW, when InitApplication had it).
  void UseUtf8Text();
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

  // The window a new message box or modal dialog belongs to: the last active
  // popup of the main window (or of the active window, without one).
  HWND GetSafeOwner() const;

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
  // WinHelp for the help file; false when neither opens. HELP_QUIT closes
  // what was opened and is always true.
  bool OpenHelp(ULONG_PTR data, UINT command = HELP_CONTEXT);
  // The help context of the Help command (ID_HELP, the Help button and F1):
  // 0x20000 + the help id of the nearest dialog up from the focus; 0 when
  // no dialog there has a help id.
  ULONG_PTR HelpContextAtFocus() const;

  HINSTANCE m_hInstance = nullptr;
  std::string m_strAppName;        // the application title
  std::string m_strRegistryKey;
  std::string m_strProfileName;
  std::string m_strHelpFilePath;   // the program's path with ".HLP"
  std::string m_strCommandLine;    // the whole command line
  std::string m_strCmdLineTail;    // the command line without the program's name
  bool m_bSystemCommandLine = false;  // m_strCommandLine is the process's own
  CWnd* m_pMainWnd = nullptr;      // the main window; none while its m_hWnd is null
  // The shell command the application was started for, once someone records
  // one. Exit processing writes nothing to the profile; with AppUnregister
  // (set by the uninstall) it must never start to.
  std::unique_ptr<CCommandLineInfo> m_pCmdInfo;

 protected:
  // Seams over the system: tests override them to record and to answer.
  virtual BOOL CallWinHelp(HWND window, const char* helpFile, UINT command, ULONG_PTR data);
  // HtmlHelpA of hhctrl.ocx, loaded at the first call; null when it cannot
  // be loaded (the program runs on without HTML Help) or the call fails.
  virtual HWND CallHtmlHelp(HWND caller, const char* file, UINT command, DWORD_PTR data);

 private:
  static LRESULT CALLBACK HelpKeyFilter(int code, WPARAM wParam, LPARAM lParam);

  // The main window's handle; null without one or once it is gone.
  HWND MainWindow() const { return m_pMainWnd != nullptr ? m_pMainWnd->m_hWnd : nullptr; }

  // The HTML Help page for `data` of `command`, as "file::/page"; empty
  // when HTML Help is not to be asked.
  std::string HtmlHelpTarget(ULONG_PTR data, UINT command) const;

  HHOOK m_hMsgFilter = nullptr;

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

// Shows a box of the program through the message-box routine: the
// application title as caption, the application's safe owner as owner and
// the default icon (AddDefaultIcon). In a process without an application
// object: no owner, the caption "Error" and the style as it is.
int AfxMessageBox(const char* text, UINT type = MB_OK);

// A string of the program's string table; empty when there is none.
std::string AfxLoadString(UINT id);
// The application title: the application object's, or string 57344 of the
// string table in a process without one (or before it has its title).
std::string AfxGetAppTitle();
// Shows string resource `idPrompt` as AfxMessageBox does.
int AfxMessageBox(UINT idPrompt, UINT type = MB_OK);

// The framework's entry point; WinMain calls it.
int AfxWinMain(HINSTANCE instance, int cmdShow);
