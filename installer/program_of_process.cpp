#include "installer/program_of_process.h"

#include <tlhelp32.h>

#include "framework/handle.h"
#include "framework/path.h"
#include "framework/system_library.h"
#include "framework/wide.h"

namespace {

std::string FileNameOf(const wchar_t* path, size_t length) {
  const std::string full = WideToText(std::wstring(path, length));
  const size_t separator = full.find_last_of("\\/:");
  return separator == std::string::npos ? full : full.substr(separator + 1);
}

// A routine the system may lack, from a library it has loaded or loads from
// the system folder; null where it is missing.
template <class Function>
Function RoutineOf(HMODULE library, const char* name) {
  if (library == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

}  // namespace

std::string ProgramFileOfProcess(DWORD processId) {
  wchar_t path[MAX_PATH * 2];
  // Windows Vista on: also for elevated processes and those of other users.
  using QueryImageFunction = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
  static const QueryImageFunction queryImage =
      RoutineOf<QueryImageFunction>(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameW");
  if (queryImage != nullptr) {
    CHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    DWORD size = MAX_PATH * 2;
    if (process.IsValid() && queryImage(process, 0, path, &size) && size > 0) return FileNameOf(path, size);
    return std::string();
  }
  // Windows NT 4 to XP: the process's first module (PSAPI).
  using ModuleNameFunction = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
  static const ModuleNameFunction moduleName =
      RoutineOf<ModuleNameFunction>(LoadSystemLibrary("psapi.dll"), "GetModuleFileNameExW");
  if (moduleName != nullptr) {
    CHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    const DWORD length = process.IsValid() ? moduleName(process, nullptr, path, MAX_PATH * 2) : 0;
    if (length > 0 && length < MAX_PATH * 2) return FileNameOf(path, length);
  }
  return std::string();
}

std::string OwnProgramFile() {
  wchar_t path[MAX_PATH * 2];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  return length > 0 && length < MAX_PATH * 2 ? FileNameOf(path, length) : std::string();
}

bool MayRunProgram(DWORD processId, const std::string& ownProgram) {
  if (ownProgram.empty()) return true;
  const std::string program = ProgramFileOfProcess(processId);
  return program.empty() || SamePathText(program, ownProgram);
}

DWORD ParentProcessId() {
  // The tool help routines: Windows 95 and 2000 on, not NT 4.
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  using SnapshotFunction = HANDLE(WINAPI*)(DWORD, DWORD);
  using WalkFunction = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);
  const auto snapshot = RoutineOf<SnapshotFunction>(kernel, "CreateToolhelp32Snapshot");
  const auto first = RoutineOf<WalkFunction>(kernel, "Process32First");
  const auto next = RoutineOf<WalkFunction>(kernel, "Process32Next");
  if (snapshot == nullptr || first == nullptr || next == nullptr) return 0;
  CHandle processes(snapshot(TH32CS_SNAPPROCESS, 0));
  if (!processes.IsValid()) return 0;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  const DWORD own = GetCurrentProcessId();
  for (BOOL more = first(processes, &entry); more; more = next(processes, &entry))
    if (entry.th32ProcessID == own) return entry.th32ParentProcessID;
  return 0;
}
