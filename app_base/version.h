#pragma once
#include <windows.h>

#include <string>

// The version text of the running program: "%d.%02d" of the file version's
// major and minor number, plus " Beta %d" for a third field of 1 to 99; empty
// when the version resource cannot be read. The installer compares it as the
// identity of an installation; the About box shows it.
std::string GetVersionText();
// The same from a version resource block (VS_VERSIONINFO) in memory.
std::string VersionTextFromBlock(const void* block);
// The same from the file version's two double words.
std::string VersionTextFromFileVersion(DWORD versionMS, DWORD versionLS);
