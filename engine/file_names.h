#pragma once
// Names as the conversion commands check them: the full path of a typed name,
// whether it names something (found, missing or too long).
#include <string>

enum class FileLookup {
  found,    // the name's full path was formed and a directory search finds it
  missing,  // no full path, no volume answering, or nothing found
  tooLong,  // the full path would not fit in MAX_PATH characters with its 0
};

// Looks a typed name up. It exists when its full path can be formed (against
// the current directory), the volume that holds it answers a volume query on
// its root and a directory search finds an entry (a folder counts, so does
// any match of a name with wildcards). On found, *fullPath is that path, at
// most MAX_PATH - 1 characters: upper-cased on a volume that does not keep
// the case of names, its last part as the search returns it on a volume that
// does not store names in Unicode (unless it holds wildcards, which stay).
// Unchanged otherwise.
FileLookup LookUpFile(const std::string& name, std::string* fullPath);


