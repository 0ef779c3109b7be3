#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/converter_app.h"
#include "framework/message_box.h"

// The application object of the test program: the real CConverterApp with
// its help calls recorded, and, while it lives, the message-box routine that
// records the boxes (unless real boxes are wanted). A CScriptedBoxes takes
// its place while that lives.
class CTestApp : public CConverterApp, public CMessageBoxRoutine {
 public:
  CTestApp();
  ~CTestApp() override;

  struct HelpCall {
    HWND window;
    std::string file;
    UINT command;
    ULONG_PTR data;
  };
  struct Box {
    HWND owner;
    bool ownerEnabled;
    std::string text;
    std::string caption;
    UINT type;
  };

  std::vector<HelpCall> m_HelpCalls;
  BOOL m_bHelpResult = TRUE;
  // HtmlHelpA calls (file empty for a null file), answered with a window
  // unless m_bHtmlHelpOpens is false, or passed on to the real viewer.
  std::vector<HelpCall> m_HtmlHelpCalls;
  bool m_bHtmlHelpOpens = true;
  bool m_bRealHtmlHelp = false;
  std::vector<Box> m_Boxes;
  int m_nAnswer = IDOK;
  bool m_bRealBoxes = false;

  // Framework start-up with this command line, and a clean record. The test
  // program counts as installed where it runs (RecordInstallationHere), so
  // that InitializeInstance goes on to the main window.
  void Start(const char* commandLine);

  int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) override;

 protected:
  BOOL CallWinHelp(HWND window, const char* file, UINT command, ULONG_PTR data) override;
  HWND CallHtmlHelp(HWND window, const char* file, UINT command, DWORD_PTR data) override;

 private:
  CMessageBoxRoutine* m_pPrevRoutine;
};

CTestApp& TestApp();

// Records the running test program as the installed copy of this version,
// machine-wide: the installer then lets its start go on normally.
void RecordInstallationHere();

// Removes HKCU\Software\Orvane (the whole settings profile).
void ClearSettings();

// Calls `onActivate` from a WH_CBT hook each time a window of this thread
// whose caption is `caption` is activated, while the object lives.
class CActivationHook {
 public:
  CActivationHook(const char* caption, std::function<void(HWND)> onActivate);
  ~CActivationHook();
  CActivationHook(const CActivationHook&) = delete;
  CActivationHook& operator=(const CActivationHook&) = delete;
  int m_nCalls = 0;

 private:
  static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam);
  std::string m_strCaption;
  std::function<void(HWND)> m_onActivate;
  HHOOK m_hHook;
};

// Runs the messages that are waiting for this thread's windows.
void PumpMessages();
