#pragma once
#include <windows.h>

#include <string>

#include "framework/handle.h"
#include "tests/support/temp_dir.h"

// A copy of the stand-in program (tests/helpers/command_recorder.cpp, whose
// path a test gets in COMMAND_RECORDER_EXE) made at `path` and kept running
// while the object lives: a file in use, as the running program's own is.
class CRunningCopy {
 public:
  CRunningCopy(const std::string& recorder, const std::string& path) {
    const std::string folder = path.substr(0, path.find_last_of('\\') + 1);
    if (!CopyFileA(recorder.c_str(), path.c_str(), FALSE)) return;
    std::string commandLine = "\"" + path + "\" --wait";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
      return;
    m_Process = CProcessInformation(info);
    // Running once it has written its record.
    for (int i = 0; i < 400 && !FileExists(folder + "recorded.txt"); ++i) Sleep(50);
  }
  ~CRunningCopy() { Stop(); }
  CRunningCopy(const CRunningCopy&) = delete;
  CRunningCopy& operator=(const CRunningCopy&) = delete;

  bool IsRunning() const {
    return m_Process.IsValid() && WaitForSingleObject(m_Process.Process(), 0) == WAIT_TIMEOUT;
  }
  void Stop() {
    if (!m_Process.IsValid()) return;
    TerminateProcess(m_Process.Process(), 0);
    WaitForSingleObject(m_Process.Process(), 10000);
    m_Process.Close();
  }

 private:
  CProcessInformation m_Process;
};
