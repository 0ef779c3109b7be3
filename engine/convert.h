#pragma once
// The conversion of files: one file into another, and a file in place. Both
// say what happened and show nothing; the commands tell the user.
#include <cstdint>
#include <functional>
#include <string>

#include "engine/tab_stops.h"

// What became of a conversion.
enum class ConvertOutcome {
  kConverted,   // the whole text converted and written
  kFailed,      // a file could not be read or written: m_strError says why
  kNotText,     // in place: a binary file, left exactly as it was
  kCopyFailed,  // in place: the file was read and its tabs counted, but the
                // converted copy could not be written or put in its place
  kCopyKept,    // in place: the file's name could be given back neither its
                // old nor its converted text; m_strKept names where they are
  kLink,        // in place: a symbolic link or junction, left as it is
  kSeveralNames,  // in place: a file with more than one name (hard links), left as it is
};

struct ConvertResult {
  ConvertOutcome m_Outcome = ConvertOutcome::kConverted;
  uint64_t m_nTabCount = 0;  // the tabs replaced (converted, or counted for a copy that failed)
  std::string m_strError;    // the failure's description, for kFailed
  std::string m_strKept;     // for kCopyKept: the names the texts are left under
};

// Converts source into destination (created, or emptied if it exists),
// replacing every tab by spaces up to the next stop (with the list's
// leading tabs only, the tabs of each line's indentation alone). Columns count
// characters in UTF-16 text (with its mark) and in UTF-8 text (with a mark,
// or valid UTF-8 throughout with a multi-byte character), and bytes in any
// other text, a binary one too; the output keeps the encoding, mark and byte
// order. The result is kConverted with the count, or kFailed with the
// description of the file failure; a destination already created keeps what
// was written. Windows only.
ConvertResult ConvertFile(const std::string& source, const std::string& destination, const TabStopList& stops);

// Converts the file at `path` in place, for a multiple-file run: into a new
// file beside it ("orvanezenvero-XXXX.tmp"), flushed to the disk, which then
// takes its place (ReplaceWithConverted), so the file is written once and
// stays whole on any failure, a power cut after the run too. A file without
// a tab is only read: it keeps its content and its time. The result is
// kConverted with the count; kCopyFailed with the count when the converted
// copy could not be written or put in place; kCopyKept when the file's
// name holds neither text after a failed replacement (the converted copy is
// then kept, never removed); kNotText for a binary file (a NUL byte outside
// UTF-16 text); kLink for a symbolic link or junction and kSeveralNames for
// a file with hard links, both left as they are (replacing either would
// split it from its other names); or kFailed when the file cannot be read.
// Nothing else is written anywhere. `between`, where given, is called
// after every megabyte read (kBytesBetweenCalls), so that a run can keep its
// windows answering through a long file; the file in hand is then still
// the old one, and the call must not touch it.
ConvertResult ConvertFileInPlace(const std::string& path, const TabStopList& stops,
                                 const std::function<void()>& between = {});
constexpr uint64_t kBytesBetweenCalls = 1024 * 1024;
