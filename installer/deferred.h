#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Files in use cannot be deleted; the installer asks Windows to delete (or
// rename) them while it next starts, and then to restart. The NT family takes
// such requests through MoveFileExA; Windows 95 and 98 read the "[Rename]"
// section of WinInit.Ini in the Windows folder. Nothing here shows a message.
// MoveFileExA, ExitWindowsEx and the WinInit.Ini folder are the installer's
// routines (installer/installer_routines.h).

// Registers that existing is renamed to newName (null: deleted) at the next
// start of Windows: MoveFileExA with MOVEFILE_DELAY_UNTIL_REBOOT, else a line
// "newName=existing" ("NUL=" for a deletion, existing as its short path)
// directly below the "[Rename]" header of WinInit.Ini, which gets the header at
// its end when it has none and is created when missing. Nonzero when the
// request was registered.
BOOL MoveFileAtRestart(const char* existing, const char* newName);

// What DeleteFileOrDefer did with a file.
enum class DeleteResult { kNotDeferred, kDeferred };
// Deletes path; kDeferred when that was refused with ERROR_ACCESS_DENIED (a
// running executable) and the deletion is scheduled for the next start
// instead. kNotDeferred when the file was deleted, was missing, failed for
// another reason (a sharing violation...) or could not be scheduled, and for
// an empty path.
DeleteResult DeleteFileOrDefer(const std::string& path);

// Enables the shutdown privilege when the system has one (failures are
// ignored), then returns ExitWindowsEx(flags, 0). The installer passes
// EWX_REBOOT.
BOOL ExitWindowsWithPrivilege(UINT flags);

// Where the NT family keeps the requests: a REG_MULTI_SZ of pairs (existing
// name, new name; an empty new name deletes) below HKEY_LOCAL_MACHINE.
constexpr const char kSessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const char kPendingFileRenameValue[] = "PendingFileRenameOperations";

// Every file name that a deletion or renaming at the next start of Windows
// will touch, both sides of each request: from PendingFileRenameOperations
// (without the "\??\" and "!" marks) and from the "[Rename]" section of
// WinInit.Ini (except the "NUL" of a deletion), in that order.
std::vector<std::string> PendingFileOperations();

// The first of PendingFileOperations that lies in `folder` (or a folder
// below it), compared without regard to the case of A to Z and by the
// folder's long and short path; empty when there is none.
std::string FindPendingDeletionIn(const std::string& folder);
