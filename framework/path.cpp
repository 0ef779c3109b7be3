#include "framework/path.h"

#include <vector>

#include "framework/file_system.h"
#include "framework/wide.h"

size_t PathUnits(const std::string& path) {
  if (path.empty()) return 0;
  const std::wstring wide = TextToWide(path);
  return !wide.empty() ? wide.size() : path.size();
}

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
  std::string full;
  return GetFullPathNamed(name, full) ? full : name;
}

std::string FullFolderOf(const std::string& pattern) {
  std::string full;
  size_t filePart = std::string::npos;
  if (!GetFullPathNamed(pattern, full, &filePart)) return {};
  std::string folder = filePart != std::string::npos ? full.substr(0, filePart) : full;
  if (folder.empty() || !IsPathSeparator(folder.back())) folder += '\\';
  return folder;
}

bool IsMissingFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesNamed(path.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool SamePathText(const std::string& a, const std::string& b) {
  if (IsWindows9x()) {
    std::string ansiA, ansiB;
    return TextToAnsi(a, ansiA) && TextToAnsi(b, ansiB) && lstrcmpiA(ansiA.c_str(), ansiB.c_str()) == 0;
  }
  return lstrcmpiW(TextToWide(a).c_str(), TextToWide(b).c_str()) == 0;
}

std::string ParentFolder(const std::string& folder) {
  std::string path = folder;
  while (path.size() > 1 && IsPathSeparator(path.back()) && path[path.size() - 2] != ':') {
    path.pop_back();
  }
  size_t last = std::string::npos;
  for (size_t i = 0; i + 1 < path.size(); ++i) {
    if (IsPathSeparator(path[i])) last = i;
  }
  if (last == std::string::npos) return path;
  std::string parent = path.substr(0, last);
  if (parent.empty() || parent.back() == ':') parent += '\\';
  return parent;
}
