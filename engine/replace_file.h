#pragma once
#include <string>

// Puts a copy of `converted` in the place of `target` so that the target ends
// either wholly the copy or wholly as it was, never cut short: the copy is
// written beside the target (same folder, so the same volume) and then
// renamed over it. The target keeps its attributes. A read-only target, a
// folder, or a target that is gone is refused, as a plain copy over it would
// be. False (with the system's error code as last error) when the target was
// left as it was; the partial copy is removed then.
bool ReplaceWithCopy(const std::string& converted, const std::string& target);
