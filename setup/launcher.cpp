#include "setup/launcher.h"

#include <cstring>

#include "framework/handle.h"

namespace {

CreateProcessRoutine g_pCreateProcess = nullptr;  // null: CreateProcessA
MessageBoxRoutine g_pMessageBox = nullptr;        // null: MessageBoxA

}  // namespace

CreateProcessRoutine SetLauncherCreateProcess(CreateProcessRoutine routine) {
  CreateProcessRoutine previous = g_pCreateProcess != nullptr ? g_pCreateProcess : CreateProcessA;
  g_pCreateProcess = routine;
  return previous;
}

MessageBoxRoutine SetLauncherMessageBox(MessageBoxRoutine routine) {
  MessageBoxRoutine previous = g_pMessageBox != nullptr ? g_pMessageBox : MessageBoxA;
  g_pMessageBox = routine;
  return previous;
}

int RunSetupLauncher() {
  BOOL started = FALSE;
  // CreateProcessA may write into its command line: give it a copy. Without
  // memory for one, the start counts as failed.
  const size_t size = sizeof kSetupCommandLine;
  char* commandLine = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size));
  if (commandLine != nullptr) {
    std::memcpy(commandLine, kSetupCommandLine, size);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION info = {};
    CreateProcessRoutine createProcess =
        g_pCreateProcess != nullptr ? g_pCreateProcess : CreateProcessA;
    started = createProcess(nullptr, commandLine, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                            nullptr, nullptr, &startup, &info);
    HeapFree(GetProcessHeap(), 0, commandLine);
    // Not waited for; the handles are not needed.
    if (started) CProcessInformation(info).Close();
  }
  if (!started) {
    MessageBoxRoutine messageBox = g_pMessageBox != nullptr ? g_pMessageBox : MessageBoxA;
    messageBox(nullptr, kSetupErrorText, kSetupErrorCaption, MB_OK | MB_ICONEXCLAMATION);
  }
  return 0;
}
