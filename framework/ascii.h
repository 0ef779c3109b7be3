#pragma once
// Case folding of the letters A to Z only, whatever the code page: the rule
// for switches, history entries and the names the program compares itself.
// No Windows calls here, so it builds for the host too.
#include <string>
#include <string_view>

inline char AsciiToUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
inline char AsciiToLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string AsciiLower(std::string text) {
  for (char& c : text) c = AsciiToLower(c);
  return text;
}

// Equal but for the case of the letters A to Z (other bytes compare as they are).
inline bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiToUpper(a[i]) != AsciiToUpper(b[i])) return false;
  return true;
}
