#include "engine/folder_walk.h"

#include "engine/device_names.h"
#include "framework/ascii.h"
#include "framework/handle.h"

std::vector<FoundEntry> FindEntriesOnDisk(const std::string& pattern) {
  std::vector<FoundEntry> entries;
  if (IsDeviceName(pattern)) return entries;
  for (CFindFile found(pattern.c_str()); found.IsValid(); found.Next())
    if (!IsDeviceName(found.Name())) entries.push_back({found.Name(), found.Data().dwFileAttributes});
  return entries;
}

std::string PatternFilePart(const std::string& pattern) {
  const size_t end = pattern.find_last_of("\\/:");
  return end == std::string::npos ? pattern : pattern.substr(end + 1);
}

bool IsVersionControlFolder(const std::string& name) {
  return EqualIgnoringAsciiCase(name, ".git") || EqualIgnoringAsciiCase(name, ".svn") ||
         EqualIgnoringAsciiCase(name, ".hg");
}

std::vector<std::string> ListFilesBelow(const std::string& folder, const std::string& filePart,
                                        FindEntriesRoutine find) {
  std::vector<std::string> files;
  // Folders still to search, relative to `folder` with their separator; a
  // list rather than a recursion, so that a deep tree cannot use up the stack.
  std::vector<std::string> pending{""};
  for (size_t next = 0; next < pending.size(); ++next) {
    const std::string below = pending[next];
    for (const FoundEntry& entry : find(folder + below + filePart))
      if (!(entry.m_dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(below + entry.m_strName);
    for (const FoundEntry& entry : find(folder + below + "*")) {
      if (!(entry.m_dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
      if (entry.m_dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
      const std::string& name = entry.m_strName;
      if (name == "." || name == ".." || IsVersionControlFolder(name)) continue;
      pending.push_back(below + name + "\\");
    }
  }
  return files;
}
