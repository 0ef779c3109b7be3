#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "framework/path.h"

// The installer's small path and command-line helpers: the folder form its
// steps compare and join, the folders and attributes of the files it copies,
// and the command lines of the copies it starts.

// Creates every missing folder of `path`, one level at a time; `made` (may
// be null) receives those it created, outermost first.
void CreateFolderPath(const std::string& path, std::vector<std::string>* made = nullptr);

// Takes the read-only attribute off a file of the program's, if it has one.
void ClearReadOnly(const std::string& path);

// Removes the "from the Internet" mark (the Zone.Identifier stream) that a
// copy of a downloaded file carries along; without it every start of the
// installed program would show a security warning and HTML Help would refuse
// the help's pages. Nothing to do where the file system has no streams.
void RemoveZoneMark(const std::string& path);

// The first junction, symbolic link or other reparse point on `path`: the
// path itself or a folder above it, short of the drive's root (through the
// installer's routines); empty when there is none.
std::string ReparsePointOnPath(const std::string& path);

// The paths of the files `names` in `folder`; none without a folder.
std::vector<std::string> FilesIn(const std::string& folder, const std::vector<std::string>& names);

// The command-line text of a program path in double quotes, a blank and the
// arguments.
std::string QuotedCommand(const std::string& program, const std::string& arguments);

// The install folder proposed to a per-user installation:
// %LOCALAPPDATA%\Programs\<application title>; empty when unknown.
std::string PerUserInstallFolder(const std::string& appTitle);
