#pragma once
// The column rule for characters: how many cells of a fixed-pitch screen a
// character takes, and so how far it moves the column.
#include <cstdint>

// The table, made at build time from the Unicode data (tools/char_width_table.py).
namespace char_width_detail {
// The block of each 256 code points of planes 0 and 1, and the distinct
// blocks, 2 bits of width a code point.
extern const uint8_t kBlockOf[];
extern const uint8_t kBlocks[][64];
int WidthBeyondPlaneOne(char32_t ch);
}  // namespace char_width_detail

// 2 for East Asian Wide and Fullwidth characters, 0 for combining marks and
// zero-width characters, 1 for everything else (control characters and code
// points not assigned yet included), with the C library's wcwidth conventions
// where the Unicode data leave a choice. Tab, carriage return and line feed
// are 1 here as well: the expanders deal with them before they ask.
inline int CharWidth(char32_t ch) {
  // Planes 0 and 1, where nearly all text lies: two table reads.
  if (ch < 0x20000) {
    const uint8_t packed = char_width_detail::kBlocks[char_width_detail::kBlockOf[ch >> 8]][(ch & 0xFF) >> 2];
    return (packed >> ((ch & 3) * 2)) & 3;
  }
  return char_width_detail::WidthBeyondPlaneOne(ch);
}

// The version of the Unicode data that the table was made from.
const char* CharWidthUnicodeVersion();
