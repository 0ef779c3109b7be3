#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/ui_driver.h"

constexpr const char kAppTitle[] = "Orvane Zenvero";

// One test's run of the real program: an empty settings profile, the
// installation recorded as the distribution folder (so that a start from
// there opens the main window), and a fresh work folder that is the
// program's current folder. Whatever still runs at the end is killed, and on
// failure a picture of the screen is left beside the test executable.
class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts Velmora.exe with `arguments` and waits for its main window.
  void StartProgram(const std::string& arguments = "");
  // Waits for a message box of the program and checks its caption and
  // buttons; `box` receives it.
  void ExpectMessageBox(MessageBoxInfo* box, const std::vector<int>& buttons);
  // Types into box `id` of the main window, or presses its button `id`.
  void Type(int id, const std::string& text);
  void Press(int id);
  // Expects a box with `text` and only OK, presses OK, and expects the main
  // window back with the focus on control `focusId` (0: anywhere).
  void ExpectNotice(const std::string& text, int focusId = 0);
  // Expects a box with `text`, Yes and No, and presses `answer`.
  void ExpectQuestion(const std::string& text, int answer);
  // Presses `button` of the box and waits until it is gone.
  void Answer(const MessageBoxInfo& box, int button);
  // Expects the program to end of itself, with exit code 0.
  void ExpectProgramEnds();
  // Expects the main window to be usable again: no box left, window enabled.
  void ExpectMainWindowBack();
  // Expects the focus on control `id` of the main window.
  void ExpectFocusOn(int id);

  // A value of the program's "Settings" section as text ("" when missing)
  // and as number (-1 when missing).
  std::string Setting(const char* name) const;
  long SettingNumber(const char* name) const;
  bool HasSetting(const char* name) const;

  std::string WorkFile(const std::string& name) const { return m_work / name; }
  std::string ReadWorkFile(const std::string& name) const;

  // The folder of the Velmora.exe the test runs: the distribution folder,
  // or (set by a test's constructor) another build of the program.
  std::string m_strProgramFolder = GetDistFolder();

  CTempDir m_work;
  CDrivenProcess m_app;
  HWND m_hMain = nullptr;
};

// The build of the program without the UTF-8 code page in its manifest: the
// program as Windows before Windows 10 version 1903 runs it.
std::string LegacyCodePageFolder();
