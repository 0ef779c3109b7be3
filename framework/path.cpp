#include "framework/path.h"

#include <vector>

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && !IsPathSeparator(folder.back())) folder += '\\';
  return folder;
}

std::string FolderOfPath(const std::string& path) {
  if (path.empty()) return std::string();
  std::string drive;
  std::string rest = path;
  if (path.size() >= 2 && path[1] == ':') {
    drive = path.substr(0, 2);
    rest = path.substr(2);
  }
  std::string::size_type last = rest.find_last_of("\\/");
  std::string folder = last == std::string::npos ? std::string() : rest.substr(0, last + 1);
  if (folder.empty() || !IsPathSeparator(folder.back())) folder += '\\';
  return drive + folder;
}

std::string WithExtension(const std::string& path, const char* extension) {
  const std::string::size_type dot = path.find_last_of('.');
  const std::string::size_type slash = path.find_last_of("\\/");
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? path.substr(0, dot) : path) + extension;
}

std::string FullPathOf(const std::string& name) {
  char path[kPathBufferBytes];
  const DWORD length = GetFullPathNameA(name.c_str(), kPathBufferBytes, path, nullptr);
  return length > 0 && length < kPathBufferBytes ? std::string(path, length) : name;
}

std::string FullFolderOf(const std::string& pattern) {
  std::vector<char> path(MAX_PATH);
  char* filePart = nullptr;
  DWORD length = GetFullPathNameA(pattern.c_str(), static_cast<DWORD>(path.size()), path.data(), &filePart);
  if (length >= path.size()) {
    path.resize(length + 1);
    length = GetFullPathNameA(pattern.c_str(), static_cast<DWORD>(path.size()), path.data(), &filePart);
  }
  if (length == 0 || length >= path.size()) return {};
  std::string folder = filePart != nullptr ? std::string(path.data(), filePart) : std::string(path.data(), length);
  if (folder.empty() || !IsPathSeparator(folder.back())) folder += '\\';
  return folder;
}

bool IsMissingFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}
