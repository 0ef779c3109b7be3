#pragma once
#include <string>

// A template text with "%s" where a name goes, as dialog templates carry
// them: each "%s" becomes `text`, "%%" a percent sign, and any other "%"
// stays as it is. `text` itself is not read for either.
std::string FormatWithText(const std::string& pattern, const std::string& text);
