#pragma once
#include <windows.h>

#include <string>

// Paths in the process's 8-bit code page. Under the UTF-8 code page (from
// Windows 10 version 1903 on) a character of a path takes up to three bytes,
// while the system's limit of MAX_PATH counts UTF-16 units: buffers for such
// paths are sized in bytes for the longest path the system takes, and the
// limit is checked in units.

// Bytes enough for any path of fewer than MAX_PATH units, with its final zero.
constexpr DWORD kPathBufferBytes = 3 * MAX_PATH;

// The UTF-16 units `path` takes in the process's code page.
inline size_t PathUnits(const std::string& path) {
  if (path.empty()) return 0;
  const int units = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  return units > 0 ? static_cast<size_t>(units) : path.size();
}

// True when the system takes `path` as a path of its own length limit:
// fewer than MAX_PATH units, so that the final zero fits too.
inline bool FitsMaxPath(const std::string& path) { return PathUnits(path) < MAX_PATH; }
