#pragma once
// The conversion interface: the tab stop list, the expansion rule and the
// conversion of one file into another.
#include <string>

#include "engine/tab_stops.h"

// Result of ConvertFile for a failure that has already been shown or reported.
constexpr int kConvertFailed = -1;
// Result of ConvertFile for a success in batch mode.
constexpr int kConvertDone = 1;

// Converts source into destination (created, or emptied if it exists),
// replacing every tab by spaces up to the next stop, under the wait cursor.
// With a report (batch mode) the outcome is appended to it and the result is
// kConvertDone or kConvertFailed. Without one, the count is shown with the
// question "Do you want to convert another file?" and the result is the
// answer (IDYES or IDNO), or kConvertFailed after the error box. File
// failures never leave this function; a destination already created keeps
// what was written. Windows only.
int ConvertFile(const std::string& source, const std::string& destination, const TabStopList& stops,
                std::string* report = nullptr);
