#include "engine/file_names.h"

#include <windows.h>

#include <cstring>

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
  char path[kPathBufferBytes];
  char* filePart = nullptr;
  SetLastError(0);
  const DWORD length = GetFullPathNameA(name.c_str(), kPathBufferBytes, path, &filePart);
  // Longer than the buffer: the call returns the size it would need (or,
  // in Wine, fails with ERROR_FILENAME_EXCED_RANGE for a long typed name).
  // The system's limit counts UTF-16 units, not the bytes of a UTF-8 name.
  if (length >= kPathBufferBytes || (length == 0 && GetLastError() == ERROR_FILENAME_EXCED_RANGE) ||
      !FitsMaxPath(std::string(path, length)))
    return FileLookup::tooLong;
  if (length == 0) return FileLookup::missing;

  DWORD flags = 0;
  const std::string root = RootOfPath(path);
  if (root.empty() ||
      !GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0))
    return FileLookup::missing;

  const CFindFile search(path);
  if (!search.IsValid()) return FileLookup::missing;

  std::string result(path, length);
  if (!(flags & FILE_CASE_PRESERVED_NAMES)) CharUpperBuffA(&result[0], static_cast<DWORD>(result.size()));
  // A wildcard name keeps its wildcards: it names no one file, and opening
  // it must fail rather than pick whichever entry the search met first.
  const bool wildcards = filePart != nullptr && std::strpbrk(filePart, "*?") != nullptr;
  if (!(flags & FILE_UNICODE_ON_DISK) && filePart != nullptr && !wildcards) {
    result = result.substr(0, static_cast<size_t>(filePart - path)) + search.Name();
    if (!FitsMaxPath(result)) return FileLookup::tooLong;
  }
  *fullPath = result;
  return FileLookup::found;
}
