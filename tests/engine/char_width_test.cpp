// The column rule for characters, checked against the host's C library:
// glibc's wcwidth over every code point, and glibc's iconv tables of the
// single-byte ANSI code pages.
#include "engine/char_width.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cwchar>
#include <iconv.h>
#include <map>
#include <set>
#include <string>

namespace {

bool IsControl(char32_t ch) { return ch < 0x20 || (ch >= 0x7F && ch < 0xA0); }

TEST(CharWidth, AgreesWithTheCLibrarysWcwidthOnEveryCodePoint) {
  ASSERT_NE(nullptr, std::setlocale(LC_CTYPE, "C.UTF-8")) << "the C.UTF-8 locale is missing";
  // Where the rule parts from wcwidth on purpose, and why.
  const std::map<char32_t, const char*> differences = {
      {0x0000, "NUL: wcwidth says 0, the byte rule (and so ours) counts it like any byte"},
  };
  int compared = 0, unknown = 0;
  for (char32_t ch = 0; ch <= 0x10FFFF; ++ch) {
    const int ours = CharWidth(ch);
    ASSERT_TRUE(ours >= 0 && ours <= 2) << std::hex << "U+" << ch;
    if (differences.count(ch)) continue;
    const int theirs = wcwidth(static_cast<wchar_t>(ch));
    if (theirs < 0) {
      if (IsControl(ch)) {
        // Control characters: wcwidth says -1 (not printable); they move
        // the column by one, as the byte rule moves it for any byte.
        EXPECT_EQ(1, ours) << std::hex << "control U+" << ch;
      } else {
        // Code points the C library does not know (its Unicode version is
        // older, or they are surrogates or unassigned): nothing to compare.
        ++unknown;
      }
      continue;
    }
    EXPECT_EQ(theirs, ours) << std::hex << "U+" << ch;
    ++compared;
  }
  // Planes 0 to 3 and 14 to 16 hold most assigned code points: a C library
  // that knew none would leave this test saying nothing.
  EXPECT_GT(compared, 250000);
  EXPECT_GT(unknown, 0);
  for (const auto& d : differences) EXPECT_EQ(1, CharWidth(d.first)) << std::hex << "U+" << d.first;
  std::setlocale(LC_CTYPE, "C");
}

TEST(CharWidth, KnowsTheConventionsAndThePlanesBeyondTheTable) {
  const struct {
    char32_t ch;
    int width;
    const char* what;
  } cases[] = {
      {'a', 1, "a letter"},
      {0x0009, 1, "tab (the expanders treat it before they ask)"},
      {0x00AD, 1, "soft hyphen"},
      {0x00E9, 1, "e with acute"},
      {0x0301, 0, "combining acute accent"},
      {0x1160, 0, "Hangul medial vowel filler"},
      {0x11FF, 0, "last Hangul final consonant"},
      {0x200B, 0, "zero width space"},
      {0xFEFF, 0, "byte-order mark"},
      {0x3000, 2, "ideographic space"},
      {0x4E2D, 2, "CJK ideograph"},
      {0xFF21, 2, "fullwidth A"},
      {0xFF61, 1, "halfwidth ideographic full stop"},
      {0xD800, 1, "lone surrogate"},
      {0x1F600, 2, "emoji in plane 1"},
      {0x20000, 2, "first ideograph of plane 2"},
      {0x2FFFD, 2, "last wide code point of plane 2"},
      {0x2FFFE, 1, "noncharacter after it"},
      {0x3134A, 2, "ideograph of plane 3"},
      {0xE0001, 0, "language tag"},
      {0xE0100, 0, "variation selector 17"},
      {0xE01F0, 1, "after the variation selectors"},
      {0xF0000, 1, "private use"},
      {0x10FFFF, 1, "last code point"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.width, CharWidth(c.ch)) << c.what;
  EXPECT_STRNE("", CharWidthUnicodeVersion());
}

// Each byte of a code page as glibc's iconv maps it to UTF-32 (empty for a
// byte the code page leaves undefined).
std::u32string MapByte(iconv_t cd, unsigned char byte) {
  char in = static_cast<char>(byte);
  char* inPtr = &in;
  size_t inLeft = 1;
  char32_t out[4] = {};
  char* outPtr = reinterpret_cast<char*>(out);
  size_t outLeft = sizeof out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  const size_t converted = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  // Code pages 1255 and 1258 hold a base letter back for a mark that may follow.
  iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
  if (converted == static_cast<size_t>(-1) && outLeft == sizeof out) return {};
  return std::u32string(out, (sizeof out - outLeft) / sizeof(char32_t));
}

TEST(CharWidth, CountsEveryCharacterOfTheAnsiCodePagesAsOneExceptMarks) {
  // Characters of these code pages that take no cell on screen, so a text
  // in them that is read as Unicode keeps its columns only if they count 0,
  // where the byte rule would count each byte 1.
  const std::map<std::string, std::set<char32_t>> zeroWidth = {
      // Thai vowel signs above and below, and tone marks.
      {"CP874", {0x0E31, 0x0E34, 0x0E35, 0x0E36, 0x0E37, 0x0E38, 0x0E39, 0x0E3A, 0x0E47, 0x0E48, 0x0E49, 0x0E4A,
                 0x0E4B, 0x0E4C, 0x0E4D, 0x0E4E}},
      {"CP1250", {}},
      {"CP1251", {}},
      {"CP1252", {}},
      {"CP1253", {}},
      {"CP1254", {}},
      // Hebrew points, and the left-to-right and right-to-left marks.
      {"CP1255", {0x05B0, 0x05B1, 0x05B2, 0x05B3, 0x05B4, 0x05B5, 0x05B6, 0x05B7, 0x05B8, 0x05B9, 0x05BB, 0x05BC,
                  0x05BD, 0x05BF, 0x05C1, 0x05C2, 0x200E, 0x200F}},
      // Arabic harakat, zero width non-joiner and joiner, and the two marks.
      {"CP1256", {0x064B, 0x064C, 0x064D, 0x064E, 0x064F, 0x0650, 0x0651, 0x0652, 0x200C, 0x200D, 0x200E, 0x200F}},
      {"CP1257", {}},
      // Vietnamese tone marks as combining accents.
      {"CP1258", {0x0300, 0x0301, 0x0303, 0x0309, 0x0323}},
  };
  for (const auto& page : zeroWidth) {
    SCOPED_TRACE(page.first);
    iconv_t cd = iconv_open("UTF-32LE", page.first.c_str());
    ASSERT_NE(reinterpret_cast<iconv_t>(-1), cd) << "iconv does not know " << page.first;
    std::set<char32_t> zeros;
    int mapped = 0;
    for (int byte = 0; byte < 256; ++byte) {
      for (char32_t ch : MapByte(cd, static_cast<unsigned char>(byte))) {
        ++mapped;
        const int width = CharWidth(ch);
        if (width == 0) zeros.insert(ch);
        else EXPECT_EQ(1, width) << std::hex << "byte " << byte << " U+" << ch;
      }
    }
    iconv_close(cd);
    EXPECT_GT(mapped, 200);
    EXPECT_EQ(page.second, zeros);
  }
}

}  // namespace
