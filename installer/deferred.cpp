#include "installer/deferred.h"

#include <new>

#include "framework/handle.h"

namespace {

ExitWindowsRoutine g_pExitWindows = nullptr;  // null: ExitWindowsEx
MoveFileExRoutine g_pMoveFileEx = nullptr;    // null: MoveFileExA
std::string g_strWinInitFolder;               // empty: the Windows folder

constexpr char kRenameHeader[] = "[Rename]\r\n";
constexpr size_t kRenameHeaderLength = sizeof kRenameHeader - 1;
// A WinInit.Ini is a few lines; one beyond this is not read into memory.
constexpr DWORD kWinInitSizeLimit = 16 * 1024 * 1024;

std::string WinInitPath() {
  std::string folder = g_strWinInitFolder;
  if (folder.empty()) {
    char windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::string();
    folder.assign(windows, length);
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
  CHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr));
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

ExitWindowsRoutine SetExitWindowsRoutine(ExitWindowsRoutine routine) {
  ExitWindowsRoutine previous = g_pExitWindows != nullptr ? g_pExitWindows : ExitWindowsEx;
  g_pExitWindows = routine;
  return previous;
}

MoveFileExRoutine SetMoveFileExRoutine(MoveFileExRoutine routine) {
  MoveFileExRoutine previous = g_pMoveFileEx != nullptr ? g_pMoveFileEx : MoveFileExA;
  g_pMoveFileEx = routine;
  return previous;
}

std::string SetWinInitFolder(const std::string& folder) {
  std::string previous = g_strWinInitFolder;
  g_strWinInitFolder = folder;
  return previous;
}

BOOL MoveFileAtRestart(const char* existing, const char* newName) {
  if (existing == nullptr || *existing == '\0') return FALSE;
  char shortPath[MAX_PATH];
  const DWORD length = GetShortPathNameA(existing, shortPath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return FALSE;

  MoveFileExRoutine moveFileEx = g_pMoveFileEx != nullptr ? g_pMoveFileEx : MoveFileExA;
  // Whatever the reason of a failure (Windows 95 and 98 have no such call),
  // WinInit.Ini is the way left.
  if (moveFileEx(shortPath, newName, MOVEFILE_DELAY_UNTIL_REBOOT)) return TRUE;

  std::string line = newName != nullptr ? newName : "NUL";
  line += '=';
  line += shortPath;
  line += "\r\n";
  return AddWinInitRequest(line);
}

int DeleteFileOrDefer(const std::string& path) {
  if (path.empty()) return 0;
  if (DeleteFileA(path.c_str())) return 0;
  // A running executable is refused with ERROR_ACCESS_DENIED; a missing file,
  // a sharing violation and the rest are passed over.
  if (GetLastError() == ERROR_ACCESS_DENIED && MoveFileAtRestart(path.c_str(), nullptr)) return 1;
  return 0;
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
  ExitWindowsRoutine exitWindows = g_pExitWindows != nullptr ? g_pExitWindows : ExitWindowsEx;
  return exitWindows(flags, 0);
}
