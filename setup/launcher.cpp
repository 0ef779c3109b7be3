#include "setup/launcher.h"

#include <cstring>

#include "framework/handle.h"

namespace {

CLauncherRoutines g_routines = DefaultLauncherRoutines();

}  // namespace

CLauncherRoutines DefaultLauncherRoutines() { return {CreateProcessA, MessageBoxA}; }

const CLauncherRoutines& LauncherRoutines() { return g_routines; }

CLauncherRoutines SetLauncherRoutines(const CLauncherRoutines& routines) {
  CLauncherRoutines previous = g_routines;
  g_routines = routines;
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
    started = g_routines.createProcess(nullptr, commandLine, nullptr, nullptr, FALSE,
                                       NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &info);
    HeapFree(GetProcessHeap(), 0, commandLine);
    // Not waited for; the handles are not needed.
    if (started) CProcessInformation(info).Close();
  }
  if (!started) {
    g_routines.messageBox(nullptr, kSetupErrorText, kSetupErrorCaption, MB_OK | MB_ICONEXCLAMATION);
  }
  return 0;
}
