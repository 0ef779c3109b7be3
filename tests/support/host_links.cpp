#include "tests/support/host_links.h"

#include <windows.h>

#include "framework/handle.h"

std::string UnixName(const std::string& path) {
  using Proc = char*(CDECL*)(LPCWSTR);
  const Proc unixName = reinterpret_cast<Proc>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  WCHAR wide[MAX_PATH];
  if (unixName == nullptr || !MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH)) return {};
  char* name = unixName(wide);
  if (name == nullptr) return {};
  std::string result = name;
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

bool RunHost(std::string command, const std::function<bool()>& done) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
    return false;
  CProcessInformation process(started);
  WaitForSingleObject(process.Process(), 10000);
  for (int waited = 0; waited < 5000; waited += 20) {
    if (done()) return true;
    Sleep(20);
  }
  return false;
}

bool MakeHostSymbolicLink(const std::string& link, const std::string& target) {
  const std::string unixLink = UnixName(link), unixTarget = UnixName(target);
  if (unixLink.empty() || unixTarget.empty()) return false;
  return RunHost("Z:\\bin\\ln -s \"" + unixTarget + "\" \"" + unixLink + "\"",
                 [&] { return GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES; });
}

bool RemoveHostLink(const std::string& link) {
  const std::string unixLink = UnixName(link);
  return RunHost("Z:\\bin\\rm -f \"" + unixLink + "\"", [&] { return CFindFile(link.c_str()).IsValid() == false; });
}

