#pragma once
#include <windows.h>

#include <string>

// The system's file calls on names in the framework's text (framework/wide.h):
// in UTF-16 through the W calls where the framework uses them, else through
// the 8-bit calls. On the 8-bit path a name that the system's code page
// cannot hold fails with ERROR_NO_UNICODE_TRANSLATION; it is never turned
// into another name. Each returns what the system call returns.

HANDLE CreateFileNamed(const char* name, DWORD access, DWORD share, DWORD disposition, DWORD attributes);
DWORD GetFileAttributesNamed(const char* name);
BOOL SetFileAttributesNamed(const char* name, DWORD attributes);
BOOL DeleteFileNamed(const char* name);
BOOL WINAPI MoveFileNamed(LPCSTR from, LPCSTR to, DWORD flags);
// ReplaceFile, where the system has it (not Windows 95, 98 and Me).
bool HasReplaceFile();
BOOL WINAPI ReplaceFileNamed(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags, LPVOID exclude,
                             LPVOID reserved);
// CreateHardLink, where the system has it (Windows 2000 on): a second name
// `link` for the file `existing`.
bool HasCreateHardLink();
BOOL WINAPI CreateHardLinkNamed(LPCSTR link, LPCSTR existing, LPSECURITY_ATTRIBUTES security);
// The volume's flags (FILE_CASE_PRESERVED_NAMES...) of a root ("C:\").
bool GetVolumeFlagsNamed(const char* root, DWORD& flags);
// GetFullPathName: the full path, and where its last part starts (npos when
// it names a folder); false when it fails (the last error says why).
bool GetFullPathNamed(const std::string& name, std::string& full, size_t* namePart = nullptr);
// The program's own path; empty when it cannot be had whole.
std::string ModuleFilePath();
// The short (8.3) form of an existing path; false when it cannot be had.
bool GetShortPathNamed(const std::string& path, std::string& shortPath);
BOOL CreateDirectoryNamed(const char* name, LPSECURITY_ATTRIBUTES security);
BOOL RemoveDirectoryNamed(const char* name);
// CopyFile (with the same type as the system's, for routine tables).
BOOL WINAPI CopyFileNamed(LPCSTR existing, LPCSTR newName, BOOL failIfExists);
BOOL GetFileAttributesExNamed(const char* name, WIN32_FILE_ATTRIBUTE_DATA* data);
BOOL SetCurrentDirectoryNamed(const char* name);
// The user's temporary folder with its final backslash; empty when the
// system gives none.
std::string TempFolderPath();
// Starts `commandLine` with its window shown, in `currentFolder` (null:
// this process's), and hands back its process information. With
// `inheritHandles` the new process gets this one's inheritable handles.
bool StartProcessNamed(const std::string& commandLine, const char* currentFolder, PROCESS_INFORMATION& info,
                       bool inheritHandles = false);
// The folder the system keeps for `csidl` (CSIDL_PROGRAMS...), asked of
// SHGetFolderPath where the system has it (Windows 2000 and Me on; looked up
// at run time); false where it lacks it or the folder cannot be had.
bool GetShellFolderPath(int csidl, std::string& path);
// Whether `path` lies on another computer: a UNC path (\\server\share\...,
// also in its long form) or a drive the system calls remote (a mapped
// network drive).
bool IsNetworkPath(const std::string& path);
// A path on a mapped network drive as its UNC path (\\server\share\...),
// which every logon sees (a drive letter belongs to the logon that mapped
// it); any other path, or one the system cannot tell, unchanged.
std::string UniversalPath(const std::string& path);
// The system's text for an error code, without the line end it comes with
// unless `trimmed` is false.
std::string SystemErrorText(DWORD error, bool trimmed = true);
