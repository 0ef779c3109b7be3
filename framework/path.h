#pragma once
#include <windows.h>

#include <string>

// Paths: the program's one home for taking them apart and putting them
// together, and for their length.
//
// Paths are the framework's text (framework/wide.h): UTF-8 in a program that
// says so, else the process's 8-bit code page. A character of a UTF-8 path
// takes up to three bytes, while the system's limit of MAX_PATH counts UTF-16
// units: buffers for such paths are sized in bytes for the longest path the
// system takes, and the limit is checked in units.

// Bytes enough for any path of fewer than MAX_PATH units, with its final zero.
constexpr DWORD kPathBufferBytes = 3 * MAX_PATH;

// The UTF-16 units `path` takes.
size_t PathUnits(const std::string& path);

// True when the system takes `path` as a path of its own length limit:
// fewer than MAX_PATH units, so that the final zero fits too.
inline bool FitsMaxPath(const std::string& path) { return PathUnits(path) < MAX_PATH; }

// True for "\" and "/" only.
bool IsPathSeparator(char c);

// `folder` with a final separator ("\" or "/" counts); empty stays empty.
std::string WithSeparator(std::string folder);

// The folder part of a path, with its drive and a final separator; "\" when
// the path names no folder (empty for an empty path).
std::string FolderOfPath(const std::string& path);

// The folder above `folder` (without a final separator, but for a drive
// root); a drive root, or a name without a folder, stays itself.
std::string ParentFolder(const std::string& folder);

// The path with its extension (the last dot after the last separator, and
// what follows) replaced by `extension` (".chm"), or with it added.
std::string WithExtension(const std::string& path, const char* extension);

// The name resolved against the current folder; the name itself when that
// cannot be done.
std::string FullPathOf(const std::string& name);

// The folder of a pattern ("C:\Notes\*.txt") resolved to a full path,
// ending in a separator; empty when it cannot be resolved.
std::string FullFolderOf(const std::string& pattern);

// True when two paths are the same text but for case, as the system
// compares names.
bool SamePathText(const std::string& a, const std::string& b);

// True when `path` names nothing, or something that is not a directory.
bool IsMissingFolder(const std::string& path);
