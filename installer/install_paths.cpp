#include "installer/install_paths.h"

#include <shlobj.h>

#include "framework/file_system.h"
#include "installer/destination_dlg.h"
#include "installer/installer_routines.h"

void CreateFolderPath(const std::string& path, std::vector<std::string>* made) {
  SECURITY_ATTRIBUTES attributes = {};
  attributes.nLength = sizeof attributes;
  attributes.lpSecurityDescriptor = nullptr;
  attributes.bInheritHandle = FALSE;
  bool drive = path.size() >= 2 && path[1] == ':';
  for (size_t i = 1; i < path.size(); ++i) {
    if (!IsPathSeparator(path[i])) continue;
    if (drive && (i == 1 || i == 2)) continue;
    std::string prefix = path.substr(0, i);
    if (!IsMissingFolder(prefix)) continue;
    if (!CreateDirectoryNamed(prefix.c_str(), &attributes)) return;
    if (made != nullptr) made->push_back(prefix);
  }
  if (CreateDirectoryNamed(path.c_str(), &attributes) && made != nullptr) made->push_back(path);
}

void ClearReadOnly(const std::string& path) {
  const DWORD attributes = GetFileAttributesNamed(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
      !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    SetFileAttributesNamed(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

std::string ReparsePointOnPath(const std::string& path) {
  for (std::string part = path; part.size() > 3;) {
    if (GetFileAttributesNamed(part.c_str()) != INVALID_FILE_ATTRIBUTES && InstallerRoutines().isReparsePoint(part))
      return part;
    const size_t separator = part.find_last_of("\\/");
    if (separator == std::string::npos) break;
    part.erase(separator);
  }
  return std::string();
}

std::vector<std::string> FilesIn(const std::string& folder, const std::vector<std::string>& names) {
  std::vector<std::string> files;
  if (folder.empty()) return files;
  for (const std::string& name : names) files.push_back(WithSeparator(folder) + name);
  return files;
}

void RemoveZoneMark(const std::string& path) { DeleteFileNamed((path + ":Zone.Identifier").c_str()); }

std::string QuotedCommand(const std::string& program, const std::string& arguments) {
  return "\"" + program + "\" " + arguments;
}

std::string PerUserInstallFolder(const std::string& appTitle) {
  std::string folder;
  if (!GetShellFolderPath(CSIDL_LOCAL_APPDATA, folder)) return std::string();
  return WithSeparator(folder) + "Programs\\" + appTitle;
}
