#pragma once
// Files whose tabs are part of their format: a multiple-file run leaves them
// as they are. No Windows calls here, so it builds for the host too.
#include <string>

// True for a makefile ("Makefile", "makefile", "GNUmakefile", "*.mk",
// "*.mak"), whose recipe lines must start with a tab, and for tab-separated
// data ("*.tsv"). `name` is a file's name or a path (only its last part
// counts); names compare as Windows compares these: without regard to the
// case of the letters A to Z.
bool TabsArePartOfFormat(const std::string& name);

// The report line of such a file, after its name and ": ".
constexpr const char kTabsArePartOfFormatText[] = "Tabs are part of this file's format. Tabs not converted.";
