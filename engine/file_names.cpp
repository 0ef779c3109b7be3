#include "engine/file_names.h"

#include <windows.h>

#include <cstring>

#include "framework/file_system.h"
#include "framework/handle.h"
#include "framework/path.h"

namespace {

bool IsSeparator(char ch) { return ch == '\\' || ch == '/'; }

// The root that GetVolumeInformationA wants: "C:\" or "\\server\share\".
std::string RootOfPath(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2) + "\\";
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    size_t server = path.find_first_of("\\/", 2);
    if (server == std::string::npos) return path + "\\";
    size_t share = path.find_first_of("\\/", server + 1);
    if (share == std::string::npos) return path + "\\";
    return path.substr(0, share + 1);
  }
  return {};
}

}  // namespace

FileLookup LookUpFile(const std::string& name, std::string* fullPath) {
  std::string path;
  size_t filePart = std::string::npos;
  SetLastError(0);
  const bool resolved = GetFullPathNamed(name, path, &filePart);
  // In Wine a long typed name fails with ERROR_FILENAME_EXCED_RANGE. The
  // system's limit counts UTF-16 units, not the bytes of a UTF-8 name.
  if ((!resolved && GetLastError() == ERROR_FILENAME_EXCED_RANGE) || (resolved && !FitsMaxPath(path)))
    return FileLookup::tooLong;
  if (!resolved) return FileLookup::missing;

  DWORD flags = 0;
  const std::string root = RootOfPath(path);
  if (root.empty() || !GetVolumeFlagsNamed(root.c_str(), flags)) return FileLookup::missing;

  const CFindFile search(path.c_str());
  if (!search.IsValid()) return FileLookup::missing;

  std::string result = path;
  if (!(flags & FILE_CASE_PRESERVED_NAMES)) {
    // Upper case as the system has it, in the system's text.
    std::wstring wide = UseWideCalls() ? Utf8ToWide(result) : std::wstring();
    std::string ansi;
    if (!wide.empty()) {
      CharUpperBuffW(&wide[0], static_cast<DWORD>(wide.size()));
      result = WideToUtf8(wide);
    } else if (TextToAnsi(result, ansi) && !ansi.empty()) {
      CharUpperBuffA(&ansi[0], static_cast<DWORD>(ansi.size()));
      result = AnsiToText(ansi);
    }
  }
  // A wildcard name keeps its wildcards: it names no one file, and opening
  // it must fail rather than pick whichever entry the search met first.
  const bool wildcards = filePart != std::string::npos && path.find_first_of("*?", filePart) != std::string::npos;
  if (!(flags & FILE_UNICODE_ON_DISK) && filePart != std::string::npos && !wildcards) {
    result = result.substr(0, filePart) + search.Name();
    if (!FitsMaxPath(result)) return FileLookup::tooLong;
  }
  *fullPath = result;
  return FileLookup::found;
}
