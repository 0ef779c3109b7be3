#include "framework/text_format.h"

std::string FormatWithText(const std::string& pattern, const std::string& text) {
  std::string result;
  for (std::string::size_type i = 0; i < pattern.size(); ++i) {
    const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    if (pattern[i] == '%' && next == 's') {
      result += text;
      ++i;
    } else if (pattern[i] == '%' && next == '%') {
      result += '%';
      ++i;
    } else {
      result += pattern[i];
    }
  }
  return result;
}
