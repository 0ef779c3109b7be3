#pragma once
// The conversion interface: the tab stop list, the expansion rule and the
// conversion of one file into another.
#include <string>

#include "engine/tab_stops.h"

// Result of ConvertFile for a failure that has already been shown or reported.
constexpr int kConvertFailed = -1;
// Result of ConvertFile for a success in batch mode.
constexpr int kConvertDone = 1;
// Result of ConvertFile in batch mode for a source refused as not a text
// file: nothing was appended to the report and the destination was not
// opened (the caller says why).
constexpr int kConvertNotText = -2;

// What ConvertFile does in batch mode with a source that holds a NUL byte
// outside UTF-16 text (a binary file): convert it like any other, or refuse it.
enum class BinarySource { kConvert, kRefuse };

// Converts source into destination (created, or emptied if it exists),
// replacing every tab by spaces up to the next stop, under the wait cursor.
// Columns count characters in UTF-16 text (with its mark) and in UTF-8 text
// (with a mark, or valid UTF-8 throughout with a multi-byte character), and
// bytes in any other text; the output keeps the encoding, mark and byte order.
// With a report (batch mode) the outcome is appended to it and the result is
// kConvertDone or kConvertFailed, or kConvertNotText for a binary source that
// `binary` says to refuse. Without one, the count is shown with the question
// "Do you want to convert another file?" and the result is the answer (IDYES
// or IDNO), or kConvertFailed after the error box. File failures never leave
// this function; a destination already created keeps what was written.
// Windows only.
int ConvertFile(const std::string& source, const std::string& destination, const TabStopList& stops,
                std::string* report = nullptr, BinarySource binary = BinarySource::kConvert);

// Converts the file at `path` in place, for a multiple-file run: into a new
// file beside it, which then takes its place (ReplaceWithConverted), so the
// file is written once and stays whole on any failure. Appends to the report
// "%d tabs converted"; or that and " - Copy failed. Tabs not converted." when
// the converted copy could not be written or put in place; or
// "Not a text file. Tabs not converted." for a binary file, which is left
// exactly as it was; or "Error converting file: " and the error text when
// the file cannot be read. Nothing else is written anywhere.
void ConvertFileInPlace(const std::string& path, const TabStopList& stops, std::string& report);
