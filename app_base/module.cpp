#include "app_base/module.h"

#include <windows.h>

#include "framework/file_system.h"
#include "framework/handle.h"
#include "framework/wide.h"

std::string GetModulePath() { return ModuleFilePath(); }

std::string GetModuleFolder() { return FolderOfPath(GetModulePath()); }

namespace {

// Starts the command line with the window shown, in `currentFolder` (null:
// this process's), and hands back its process information.
bool StartCommandLine(const char* commandLine, const char* currentFolder,
                      PROCESS_INFORMATION& info) {
  if (commandLine == nullptr) return false;
  return StartProcessNamed(commandLine, currentFolder, info);
}

}  // namespace

bool RunCommandLine(const char* commandLine, const char* currentFolder) {
  PROCESS_INFORMATION info;
  if (!StartCommandLine(commandLine, currentFolder, info)) return false;
  // Not waited for; the handles are not needed.
  CProcessInformation(info).Close();
  return true;
}

bool RunCommandLineHolding(const char* commandLine, const char* currentFolder, HANDLE held) {
  if (commandLine == nullptr) return false;
  if (held == nullptr) return RunCommandLine(commandLine, currentFolder);
  // Inherited for this one start only.
  if (!SetHandleInformation(held, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) return false;
  PROCESS_INFORMATION info;
  const bool started = StartProcessNamed(commandLine, currentFolder, info, true);
  SetHandleInformation(held, HANDLE_FLAG_INHERIT, 0);
  if (started) CProcessInformation(info).Close();
  return started;
}

bool RunCommandLineAndWait(const char* commandLine, const char* currentFolder, DWORD* exitCode) {
  PROCESS_INFORMATION info;
  if (!StartCommandLine(commandLine, currentFolder, info)) return false;
  CProcessInformation process(info);
  const DWORD code = WaitForProcessPumping(info.hProcess);
  if (exitCode != nullptr) *exitCode = code;
  return true;
}

DWORD WaitForProcessPumping(HANDLE process) {
  // The windows of this thread keep answering while it waits: the system
  // and other programs send them messages (and would wait for them).
  // Messages already waiting do not end a wait: each round empties the
  // queue before it waits again.
  for (;;) {
    MSG msg;
    const bool wide = UseWideCalls();
    while (wide ? PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) : PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      if (wide) {
        DispatchMessageW(&msg);
      } else {
        DispatchMessageA(&msg);
      }
    }
    const DWORD wait = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT);
    if (wait != WAIT_OBJECT_0 + 1) break;
  }
  DWORD code = 0;
  if (!GetExitCodeProcess(process, &code)) code = static_cast<DWORD>(-1);
  return code;
}
