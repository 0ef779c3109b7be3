#include "setup/launcher.h"

#include <string>
#include <vector>

#include "framework/command_line.h"
#include "framework/handle.h"
#include "framework/wide.h"
#include "installer/switches.h"

namespace {

DWORD WaitForExit(HANDLE process) {
  WaitForSingleObject(process, INFINITE);
  DWORD code = 1;
  if (!GetExitCodeProcess(process, &code)) code = 1;
  return code;
}

CLauncherRoutines g_routines = DefaultLauncherRoutines();

}  // namespace

CLauncherRoutines DefaultLauncherRoutines() {
  return {CreateProcessA, MessageBoxA, WaitForExit, IsWindows9x() ? nullptr : CreateProcessW};
}

std::string SetupArguments(const char* ansiTail) {
  if (IsWindows9x()) return ansiTail != nullptr ? ansiTail : "";
  return CommandLineTail(WideToUtf8(GetCommandLineW()).c_str());
}

const CLauncherRoutines& LauncherRoutines() { return g_routines; }

CLauncherRoutines SetLauncherRoutines(const CLauncherRoutines& routines) {
  CLauncherRoutines previous = g_routines;
  g_routines = routines;
  return previous;
}

int RunSetupLauncher(const std::string& arguments) {
  CInstallSwitches switches;
  const bool job = ParseInstallSwitches(arguments, switches) && switches.any;
  std::string command = kSetupCommandLine;
  if (job) command += " " + arguments;

  BOOL started = FALSE;
  DWORD exitCode = 0;
  PROCESS_INFORMATION info = {};
  // CreateProcess may write into its command line: each call gets a copy.
  if (g_routines.createProcessW != nullptr) {
    std::wstring commandLine = Utf8ToWide(command);
    commandLine.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    started = g_routines.createProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                                        nullptr, nullptr, &startup, &info);
  } else {
    // Without memory for the copy, the start counts as failed.
    const size_t size = command.size() + 1;
    char* commandLine = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size));
    if (commandLine != nullptr) {
      command.copy(commandLine, command.size());
      commandLine[command.size()] = '\0';
      STARTUPINFOA startup = {};
      startup.cb = sizeof startup;
      startup.dwFlags = STARTF_USESHOWWINDOW;
      startup.wShowWindow = SW_SHOW;
      started = g_routines.createProcess(nullptr, commandLine, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                                         nullptr, nullptr, &startup, &info);
      HeapFree(GetProcessHeap(), 0, commandLine);
    }
  }
  if (started) {
    CProcessInformation process(info);
    // A deployment waits for the whole installation and passes its code
    // on; a user's start is not waited for.
    if (job) exitCode = g_routines.waitForExit(process.Process());
  }
  if (!started) {
    if (!job || switches.ui == InstallUi::kFull)
      g_routines.messageBox(nullptr, kSetupErrorText, kSetupErrorCaption, MB_OK | MB_ICONEXCLAMATION);
    return job ? 1 : 0;
  }
  return static_cast<int>(exitCode);
}
