#pragma once
// The conversion of files: one file into another, and a file in place. Both
// say what happened and show nothing; the commands tell the user.
#include <cstdint>
#include <string>

#include "engine/tab_stops.h"

// What became of a conversion.
enum class ConvertOutcome {
  kConverted,   // the whole text converted and written
  kFailed,      // a file could not be read or written: m_strError says why
  kNotText,     // in place: a binary file, left exactly as it was
  kCopyFailed,  // in place: the file was read and its tabs counted, but the
                // converted copy could not be written or put in its place
};

struct ConvertResult {
  ConvertOutcome m_Outcome = ConvertOutcome::kConverted;
  uint64_t m_nTabCount = 0;  // the tabs replaced (converted, or counted for a copy that failed)
  std::string m_strError;    // the failure's description, for kFailed
};

// Converts source into destination (created, or emptied if it exists),
// replacing every tab by spaces up to the next stop. Columns count
// characters in UTF-16 text (with its mark) and in UTF-8 text (with a mark,
// or valid UTF-8 throughout with a multi-byte character), and bytes in any
// other text, a binary one too; the output keeps the encoding, mark and byte
// order. The result is kConverted with the count, or kFailed with the
// description of the file failure; a destination already created keeps what
// was written. Windows only.
ConvertResult ConvertFile(const std::string& source, const std::string& destination, const TabStopList& stops);

// Converts the file at `path` in place, for a multiple-file run: into a new
// file beside it, which then takes its place (ReplaceWithConverted), so the
// file is written once and stays whole on any failure. The result is
// kConverted with the count; kCopyFailed with the count when the converted
// copy could not be written or put in place; kNotText for a binary file (a
// NUL byte outside UTF-16 text); or kFailed when the file cannot be read.
// Nothing else is written anywhere.
ConvertResult ConvertFileInPlace(const std::string& path, const TabStopList& stops);
