#include "engine/replace_file.h"

#include <windows.h>


namespace {

// The attributes a rename keeps and SetFileAttributesA can give.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE |
                                  FILE_ATTRIBUTE_TEMPORARY;

// Removes a file that holds a partial or unused copy, keeping the error that
// made us give up.
void DiscardCopy(const char* path) {
  const DWORD error = GetLastError();
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path);
  SetLastError(error);
}

}  // namespace

bool ReplaceWithCopy(const std::string& converted, const std::string& target) {
  const DWORD attributes = GetFileAttributesA(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  // Checked here because a rename (and Wine run as root) would not refuse.
  if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }

  const size_t separator = target.find_last_of("\\/:");
  const std::string folder = separator == std::string::npos ? "." : target.substr(0, separator + 1);
  // GetTempFileNameA creates the file, so the name is ours alone.
  char sibling[MAX_PATH];
  if (folder.size() > MAX_PATH - 14 || !GetTempFileNameA(folder.c_str(), "vlm", 0, sibling)) return false;

  // A copy that fails part-way (disk full) only spoils the sibling.
  if (!CopyFileA(converted.c_str(), sibling, FALSE)) {
    DiscardCopy(sibling);
    return false;
  }
  const DWORD kept = attributes & kKeptAttributes;
  if (!SetFileAttributesA(sibling, kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL)) {
    DiscardCopy(sibling);
    return false;
  }
  if (!MoveFileExA(sibling, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DiscardCopy(sibling);
    return false;
  }
  return true;
}
