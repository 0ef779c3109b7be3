#pragma once
// A link file read back the way the shell reads it, for the tests that check
// the links the installer makes. The caller has initialised COM.
#include <string>

struct LinkContents {
  std::string path, arguments, workingFolder, description, iconFile;
  int iconIndex = -1;
  int showCommand = -1;  // as stored in the file
};

// false when the file cannot be loaded as a link.
bool ReadShellLink(const std::string& file, LinkContents* contents);
