#pragma once
// The matches of a Convert Multiple Files pattern in its folder and, when
// asked, in every folder below it. Shows nothing; the directory search is a
// routine the caller may replace (tests give entries the system cannot make).
#include <windows.h>

#include <string>
#include <vector>

// One entry a directory search returned.
struct FoundEntry {
  std::string m_strName;  // the entry's name, whole
  DWORD m_dwAttributes = 0;
};

// Lists what a directory search for `pattern` returns, in its order.
using FindEntriesRoutine = std::vector<FoundEntry> (*)(const std::string& pattern);

// The system's search (CFindFile). A name that is a device ("nul.txt",
// written by another system) is no file: it is never returned, and a
// pattern that is one finds nothing.
std::vector<FoundEntry> FindEntriesOnDisk(const std::string& pattern);

// The part of a pattern after its folder: "*.txt" of "C:\Notes\*.txt".
std::string PatternFilePart(const std::string& pattern);

// True for the folders of version control (".git", ".svn", ".hg", in any
// case), which a walk never enters.
bool IsVersionControlFolder(const std::string& name);

// The files below `folder` (a full path with its final separator) that
// `filePart` matches, as paths relative to `folder` ("sub\deep\a.txt"): those
// in the folder itself first, in the search's order, then those of each
// subfolder in turn. Folders are not matches. The walk enters every
// subfolder except those of version control and reparse points (junctions,
// symbolic links to folders: what they lead to may be elsewhere, or a folder
// of the tree met twice).
std::vector<std::string> ListFilesBelow(const std::string& folder, const std::string& filePart,
                                        FindEntriesRoutine find = FindEntriesOnDisk);
