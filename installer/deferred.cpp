#include "installer/deferred.h"

#include <algorithm>
#include <new>

#include "framework/ascii.h"
#include "framework/file.h"
#include "framework/file_system.h"
#include "framework/reg_key.h"
#include "framework/handle.h"
#include "framework/wide.h"
#include "installer/install_paths.h"
#include "installer/installer_routines.h"

namespace {

constexpr char kRenameHeader[] = "[Rename]\r\n";
constexpr size_t kRenameHeaderLength = sizeof kRenameHeader - 1;
// A WinInit.Ini is a few lines; one beyond this is not read into memory.
constexpr DWORD kWinInitSizeLimit = 16 * 1024 * 1024;

std::string WinInitPath() {
  std::string folder = InstallerRoutines().winInitFolder;
  if (folder.empty()) {
    char windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::string();
    folder = AnsiToText(std::string(windows, length));
  }
  // The root folder (C:\) already ends in a backslash.
  if (folder.back() != '\\') folder += '\\';
  return folder + "WinInit.Ini";
}

// Where a new request goes in content: the start of the line after the first
// "[Rename]\r\n" header that begins a line. Without one, the header is appended
// (on a line of its own) and the request goes behind it.
size_t PlaceRenameRequest(std::string& content) {
  for (size_t at = content.find(kRenameHeader); at != std::string::npos;
       at = content.find(kRenameHeader, at + 1)) {
    if (at == 0 || content[at - 1] == '\n') return at + kRenameHeaderLength;
  }
  // A last line without its line end would swallow the header.
  if (!content.empty() && content.back() != '\n') content += "\r\n";
  content += kRenameHeader;
  return content.size();
}

bool ReadAll(HANDLE file, std::string& content, DWORD size) {
  content.resize(size);
  DWORD got = 0;
  return size == 0 || (ReadFile(file, &content[0], size, &got, nullptr) && got == size);
}

// Writes content from offset on at the same offset and cuts the file there.
bool WriteFrom(HANDLE file, const std::string& content, size_t offset) {
  if (SetFilePointer(file, static_cast<LONG>(offset), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
    return false;
  const DWORD size = static_cast<DWORD>(content.size() - offset);
  DWORD written = 0;
  if (size > 0 && (!WriteFile(file, content.data() + offset, size, &written, nullptr) ||
                   written != size))
    return false;
  return SetEndOfFile(file) != FALSE;
}

// Puts line below the "[Rename]" header of WinInit.Ini, creating the file
// or the header where missing; the other bytes stay as they were.
BOOL AddWinInitRequest(const std::string& line) {
  const std::string path = WinInitPath();
  if (path.empty()) return FALSE;
  CHandle file(CreateFileNamed(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS,
                               FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL));
  if (!file.IsValid()) return FALSE;
  DWORD sizeHigh = 0;
  const DWORD size = GetFileSize(file, &sizeHigh);
  if (size == INVALID_FILE_SIZE || sizeHigh != 0 || size > kWinInitSizeLimit) return FALSE;
  try {
    std::string original;
    if (!ReadAll(file, original, size)) return FALSE;
    std::string content = original;
    const size_t insertAt = PlaceRenameRequest(content);
    content.insert(insertAt, line);
    // Everything before the first changed byte stays; rewrite from there on.
    size_t firstChange = 0;
    while (firstChange < original.size() && original[firstChange] == content[firstChange])
      ++firstChange;
    if (WriteFrom(file, content, firstChange)) return TRUE;
    // Disk full or the like: put the old bytes back as far as possible.
    WriteFrom(file, original, firstChange);
    return FALSE;
  } catch (const std::bad_alloc&) {
    return FALSE;
  }
}

}  // namespace

BOOL MoveFileAtRestart(const char* existing, const char* newName) {
  if (existing == nullptr || *existing == '\0') return FALSE;
  std::string shortPath;
  if (!GetShortPathNamed(existing, shortPath)) return FALSE;

  if (InstallerRoutines().moveFileEx(shortPath.c_str(), newName, MOVEFILE_DELAY_UNTIL_REBOOT)) return TRUE;
  // Windows 95, 98 and Me have no such call: WinInit.Ini is their way. The
  // NT family never reads that file, so there the request has failed.
  if (!InstallerRoutines().winInitRead) return FALSE;

  std::string line = newName != nullptr ? newName : "NUL";
  line += '=';
  line += shortPath;
  line += "\r\n";
  // The file is read in the system's code page.
  std::string ansiLine;
  if (!TextToAnsi(line, ansiLine)) return FALSE;
  return AddWinInitRequest(ansiLine);
}

DeleteResult DeleteFileOrDefer(const std::string& path) {
  if (path.empty()) return DeleteResult::kNotDeferred;
  if (DeleteFileNamed(path.c_str())) return DeleteResult::kNotDeferred;
  // A running executable is refused with ERROR_ACCESS_DENIED; a missing file,
  // a sharing violation and the rest are passed over.
  if (GetLastError() == ERROR_ACCESS_DENIED && MoveFileAtRestart(path.c_str(), nullptr))
    return DeleteResult::kDeferred;
  return DeleteResult::kNotDeferred;
}

BOOL ExitWindowsWithPrivilege(UINT flags) {
  CHandle token;
  // Systems without security tokens fail here and need no privilege.
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                       token.Receive())) {
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
      privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
      AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    }
  }
  return InstallerRoutines().exitWindowsEx(flags, 0);
}

namespace {

// A WinInit.Ini bigger than this is not read for the pending names.
constexpr size_t kWinInitReadLimit = 1u << 20;

// Whether `path` lies in `folder` (given with a final separator).
bool IsInFolder(const std::string& path, const std::string& folder) {
  if (folder.empty() || path.size() <= folder.size()) return false;
  std::string head = path.substr(0, folder.size());
  std::string base = folder;
  std::replace(head.begin(), head.end(), '/', '\\');
  std::replace(base.begin(), base.end(), '/', '\\');
  return EqualIgnoringAsciiCase(head, base);
}

void AddRegistryNames(std::vector<std::string>& names) {
  CRegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, kSessionManagerKey, KEY_QUERY_VALUE) != ERROR_SUCCESS) return;
  // Pairs of existing name and new name; an empty new name deletes (empty
  // strings are meaningful here).
  std::vector<std::string> strings;
  if (key.QueryMultiStringValue(kPendingFileRenameValue, strings) != ERROR_SUCCESS) return;
  for (std::string name : strings) {
    if (!name.empty() && name[0] == '!') name.erase(0, 1);
    if (name.compare(0, 4, "\\??\\") == 0) name.erase(0, 4);
    if (!name.empty()) names.push_back(name);
  }
}

void AddWinInitNames(std::vector<std::string>& names) {
  if (!InstallerRoutines().winInitRead) return;
  const std::string path = WinInitPath();
  if (path.empty()) return;
  std::string text;
  try {
    CFile file;
    if (!file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite, nullptr)) return;
    char buffer[4096];
    while (text.size() < kWinInitReadLimit) {
      const DWORD got = file.Read(buffer, sizeof buffer);
      if (got == 0) break;
      text.append(buffer, got);
    }
  } catch (const CFileException&) {
    return;
  }

  bool inRename = false;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (!line.empty() && line[0] == '[') {
      inRename = EqualIgnoringAsciiCase(line, "[rename]");
      continue;
    }
    const size_t equals = line.find('=');
    if (!inRename || equals == std::string::npos) continue;
    const std::string newName = line.substr(0, equals);
    const std::string existing = line.substr(equals + 1);
    if (!newName.empty() && !EqualIgnoringAsciiCase(newName, "nul")) names.push_back(AnsiToText(newName));
    if (!existing.empty()) names.push_back(AnsiToText(existing));
  }
}

}  // namespace

std::vector<std::string> PendingFileOperations() {
  std::vector<std::string> names;
  AddRegistryNames(names);
  AddWinInitNames(names);
  return names;
}

std::string FindPendingDeletionIn(const std::string& folder) {
  const std::string longFolder = WithSeparator(folder);
  // WinInit.Ini names files by their short paths.
  std::string shortFolder;
  if (GetShortPathNamed(folder, shortFolder)) shortFolder = WithSeparator(shortFolder);
  for (const std::string& name : PendingFileOperations()) {
    if (IsInFolder(name, longFolder) || IsInFolder(name, shortFolder)) return name;
  }
  return std::string();
}
