#pragma once
#include <string>

// The permissions of the folders an installation for all users goes into.
// The program there is run by administrators (from the all-users link and the
// uninstall entry) and by deployment tools as LocalSystem, so nobody else
// may be able to change it. A folder created outside Program Files inherits
// "Authenticated Users: Modify" from its parent; the folders the installer
// creates get permissions of their own instead, and an existing folder that
// others may change is refused.

// Whether accounts other than the administrators, the system, the
// installer service and the account that installs may change what is in
// `folder`: add, replace or delete
// its files, or change its permissions or owner. False where the system
// keeps no permissions (Windows 95 to ME, a volume without them).
bool OthersMayChangeFolder(const std::string& folder);

// Whether accounts other than those may rename or replace `folder` or any
// existing folder above it (short of the drive's root), which would let
// them put a folder of their own in its place: the right to delete a folder
// itself or what its parent holds, or to change permissions or owner.
// False where the system keeps no permissions.
bool OthersMayMoveFolder(const std::string& folder);

// Gives `folder` permissions of its own, not inherited from its parent:
// administrators and the system full control, users read and run, all of
// it inherited by what the folder holds. False when they could not be set;
// true at once where the system keeps no permissions.
bool SecureFolderForAllUsers(const std::string& folder);

// Whether `path` is a junction, symbolic link or other reparse point.
bool IsReparsePoint(const std::string& path);
