#pragma once
// The engine tests' references: the byte rule as ExpandStep has it, and a
// UTF-8 decoder of their own.
#include <string>

#include "engine/tab_stops.h"

// The text as ExpandStep turns it out, one byte at a time: the reference that
// every faster path must match.
inline std::string ReferenceExpand(const std::string& input, const TabStopList& stops, int64_t& column,
                                   uint64_t& tabCount) {
  std::string out;
  for (char byte : input) {
    char ch = byte;
    const int repeat = ExpandStep(ch, column, tabCount, stops);
    out.append(static_cast<size_t>(repeat), ch);
  }
  return out;
}

// The valid UTF-8 character at text[i]: its length and code point, or 0.
// Decoded from the bit patterns and checked against the code point's range,
// independently of the engine's tables of allowed second bytes.
inline int DecodeUtf8Reference(const std::string& text, size_t i, char32_t& ch) {
  const unsigned char b = static_cast<unsigned char>(text[i]);
  int length;
  char32_t min;
  if (b >= 0xC0 && b < 0xE0) length = 2, ch = b & 0x1F, min = 0x80;
  else if (b >= 0xE0 && b < 0xF0) length = 3, ch = b & 0x0F, min = 0x800;
  else if (b >= 0xF0 && b < 0xF8) length = 4, ch = b & 0x07, min = 0x10000;
  else return 0;
  if (text.size() - i < static_cast<size_t>(length)) return 0;
  for (int k = 1; k < length; ++k) {
    const unsigned char c = static_cast<unsigned char>(text[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    ch = (ch << 6) | (c & 0x3F);
  }
  if (ch < min || ch > 0x10FFFF || (ch >= 0xD800 && ch < 0xE000)) return 0;
  return length;
}

// The UTF-8 form of a code point, by the bit patterns.
inline void AppendUtf8Reference(std::string& s, char32_t ch) {
  if (ch < 0x80) {
    s += static_cast<char>(ch);
  } else if (ch < 0x800) {
    s += static_cast<char>(0xC0 | (ch >> 6));
    s += static_cast<char>(0x80 | (ch & 0x3F));
  } else if (ch < 0x10000) {
    s += static_cast<char>(0xE0 | (ch >> 12));
    s += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (ch & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | (ch >> 18));
    s += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
    s += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (ch & 0x3F));
  }
}

// "Leading tabs only" worked out line by line, apart from the expanders and
// ExpandStep: a line ends after each carriage return and line feed; in each,
// the tabs before the first unit other than a blank, a tab or the byte order
// mark (U+FEFF, with markIsBlank: the bytes EF BB BF, or the unit FEFF) go to
// the next stop by the running sums of the widths; later tabs stay.
template <typename Unit>
std::basic_string<Unit> ReferenceLeadingOnly(const std::basic_string<Unit>& text, const TabStopList& stops,
                                             bool markIsBlank, uint64_t& tabCount) {
  auto nextStop = [&](int64_t column) {
    int64_t stop = 0;
    for (uint16_t w : stops.GetWidths())
      if ((stop += w) > column) return stop;
    while (stop <= column) stop += stops.GetLast();
    return stop;
  };
  auto markAt = [&](size_t i) -> size_t {
    if (!markIsBlank) return 0;
    if (sizeof(Unit) == 2) return static_cast<char32_t>(text[i]) == 0xFEFF ? 1 : 0;
    return i + 3 <= text.size() && static_cast<unsigned char>(text[i]) == 0xEF &&
                   static_cast<unsigned char>(text[i + 1]) == 0xBB && static_cast<unsigned char>(text[i + 2]) == 0xBF
               ? 3
               : 0;
  };
  std::basic_string<Unit> out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = start;
    while (end < text.size() && text[end] != Unit('\r') && text[end] != Unit('\n')) ++end;
    if (end < text.size()) ++end;  // the line end belongs to its line
    int64_t column = 0;
    size_t i = start;
    for (; i < end; ++i) {
      if (text[i] == Unit('\t')) {
        const int64_t stop = nextStop(column);
        out.append(static_cast<size_t>(stop - column), Unit(' '));
        column = stop;
        ++tabCount;
      } else if (text[i] == Unit(' ')) {
        out += text[i];
        ++column;
      } else if (const size_t mark = markAt(i)) {
        out.append(text, i, mark);
        i += mark - 1;
      } else {
        break;
      }
    }
    out.append(text, i, end - i);
    start = end;
  }
  return out;
}
