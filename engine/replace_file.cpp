#include "engine/replace_file.h"

#include <windows.h>

#include "framework/handle.h"
#include "framework/path.h"

namespace {

// The attributes a rename keeps and SetFileAttributesA can give.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE |
                                  FILE_ATTRIBUTE_TEMPORARY;

using ReplaceFileProc = BOOL(WINAPI*)(LPCSTR replaced, LPCSTR replacement, LPCSTR backup,
                                      DWORD flags, LPVOID exclude, LPVOID reserved);

// ReplaceFileA where the system has it: Windows 95, 98 and Me do not.
ReplaceFileProc FindReplaceFile() {
  static const ReplaceFileProc proc = [] {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    return kernel != nullptr ? reinterpret_cast<ReplaceFileProc>(reinterpret_cast<void (*)()>(
                                   GetProcAddress(kernel, "ReplaceFileA")))
                             : nullptr;
  }();
  return proc;
}

}  // namespace

bool CreateSiblingFile(const std::string& folder, std::string& path) {
  // GetTempFileName creates the file, so the name is ours alone. Its name
  // takes up to 14 more units than the folder's.
  const std::string where = folder.empty() ? "." : folder;
  if (PathUnits(where) > MAX_PATH - 14) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  // The wide call where there is one: the 8-bit one hands its result back
  // through a MAX_PATH-byte buffer, too small for a long name in UTF-8.
  WCHAR wideFolder[MAX_PATH];
  WCHAR wideSibling[MAX_PATH];
  char sibling[kPathBufferBytes];
  if (MultiByteToWideChar(CP_ACP, 0, where.c_str(), -1, wideFolder, MAX_PATH) > 0 &&
      GetTempFileNameW(wideFolder, L"vlm", 0, wideSibling) != 0) {
    if (WideCharToMultiByte(CP_ACP, 0, wideSibling, -1, sibling, sizeof sibling, nullptr, nullptr) > 0) {
      path = sibling;
      return true;
    }
    DeleteFileW(wideSibling);
    return false;
  }
  if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return false;
  // The Windows 95 family: names in its ANSI code page, which fit.
  if (!GetTempFileNameA(where.c_str(), "vlm", 0, sibling)) return false;
  path = sibling;
  return true;
}

bool ReplaceWithConverted(const std::string& converted, const std::string& target) {
  const DWORD attributes = GetFileAttributesA(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  // Checked here because a rename (and Wine run as root) would not refuse.
  if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (GetFileAttributesA(converted.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  // A file the user may not write is not the user's to replace, even in a
  // folder the user may write (where a rename would go through).
  {
    CHandle writable(CreateFileA(target.c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!writable.IsValid()) return false;
  }
  // The target's attributes first: ReplaceFileA gives them too, a rename not.
  const DWORD kept = attributes & kKeptAttributes;
  if (!SetFileAttributesA(converted.c_str(), kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL)) return false;

  if (ReplaceFileProc replaceFile = FindReplaceFile()) {
    if (replaceFile(target.c_str(), converted.c_str(), nullptr, REPLACEFILE_WRITE_THROUGH, nullptr,
                    nullptr))
      return true;
    const DWORD error = GetLastError();
    // Only a system that has the call but cannot do it here (no such
    // support on the volume) falls back to the rename.
    if (error != ERROR_CALL_NOT_IMPLEMENTED && error != ERROR_NOT_SUPPORTED &&
        error != ERROR_INVALID_FUNCTION)
      return false;
  }
  return MoveFileExA(converted.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}
