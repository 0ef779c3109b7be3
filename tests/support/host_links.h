#pragma once
// Links made on the host, as the user of a Linux desktop makes them, for the
// tests that run under Wine.
#include <functional>
#include <string>

// The host's name of a file under Wine ("" elsewhere).
std::string UnixName(const std::string& path);

// Runs a host program under Wine (Wine starts one as it starts its own)
// and waits until `done` holds; false when it cannot start or `done` does
// not come. The handle of a host program may be signalled before it has
// run: the result itself is waited for.
bool RunHost(std::string command, const std::function<bool()>& done);

// A symbolic link made with ln -s on the host; false where that cannot be
// done. Wine 8 shows one to a file as a plain file, and one to a folder as
// a folder with FILE_ATTRIBUTE_REPARSE_POINT.
bool MakeHostSymbolicLink(const std::string& link, const std::string& target);

// Removes the link itself, on the host: Wine's DeleteFileA on a host link
// removes the file it leads to.
bool RemoveHostLink(const std::string& link);
