#include "framework/system_library.h"

namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32, which older headers lack.
const DWORD kSearchSystem32 = 0x00000800;

// A routine of kernel32 that older systems lack; null there. Through a plain
// function pointer: GetProcAddress's type says nothing of the routine's.
template <class Function>
Function KernelRoutine(const char* name) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(kernel, name)));
}

}  // namespace

bool RestrictDllSearchToSystem() {
  // Windows 8 on, and Windows 7 and Vista with update KB2533623.
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  if (auto setDefault = KernelRoutine<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories")) {
    if (setDefault(kSearchSystem32)) return true;
  }
  // Windows XP SP1 on: the current folder leaves the search; the program's
  // folder stays in it, which is why every DLL is loaded by its full path.
  using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCWSTR);
  if (auto setDirectory = KernelRoutine<SetDllDirectoryFunction>("SetDllDirectoryW")) setDirectory(L"");
  return false;
}

std::string SystemLibraryPath(const char* name) {
  char folder[MAX_PATH];
  const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  std::string path(folder, length);
  if (path.back() != '\\') path += '\\';
  return path + name;
}

HMODULE LoadSystemLibrary(const char* name) {
  const std::string path = SystemLibraryPath(name);
  return path.empty() ? nullptr : LoadLibraryA(path.c_str());
}
