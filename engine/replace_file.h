#pragma once
#include <string>

// Puts `converted`, a finished file beside `target` (same folder, so the
// same volume), in the place of `target`, so that the target ends either
// wholly the new content or wholly as it was, never cut short. Where the
// system has ReplaceFileA (the NT family) the target keeps what it had:
// its attributes, permissions and owner, alternate data streams and
// creation time; elsewhere `converted` is given the target's attributes and
// renamed over it. A read-only target, one the user may not write, a
// folder, or a target that is gone is refused, as a plain copy over it would
// be. False (with the system's error
// code as last error) when the target was left as it was; `converted` is
// then still there, for the caller to remove.
bool ReplaceWithConverted(const std::string& converted, const std::string& target);

// A new empty file with a name of its own in `folder` (ending or not with a
// separator), for a converted copy; false, with the system's error as last
// error, when the folder cannot take one.
bool CreateSiblingFile(const std::string& folder, std::string& path);
