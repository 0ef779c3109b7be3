#include "engine/text_encoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace {

// Valid UTF-8 of about `size` bytes: source-like lines with accented letters.
std::string LongUtf8(size_t size) {
  std::string text;
  while (text.size() < size) text += "\tcaf\xC3\xA9 = \xE2\x82\xAC" "42;\t// na\xC3\xAFve\r\n";
  return text;
}

TEST(EncodingDetector, DecidesFromTheMarkOrTheWholeContent) {
  const std::string utf8 = LongUtf8(1 << 20);
  const uint64_t none = EncodingDetector::kNoHighByte;
  const struct {
    const char* name;
    std::string text;
    TextEncoding encoding;
    bool nul;
    uint64_t firstHigh;
  } cases[] = {
      {"empty", "", TextEncoding::kBytes, false, none},
      {"ASCII", "int main()\r\n{\r\n\treturn 0;\r\n}\r\n", TextEncoding::kBytes, false, none},
      {"ANSI with high bytes", "caf\xE9 cr\xE8me\t\xA9", TextEncoding::kBytes, false, 3},
      {"UTF-8 without a mark", "caf\xC3\xA9\t\xE2\x82\xAC", TextEncoding::kUtf8, false, 3},
      {"UTF-8 with a mark", "\xEF\xBB\xBFplain\ttext", TextEncoding::kUtf8, false, 0},
      {"UTF-8 mark alone", "\xEF\xBB\xBF", TextEncoding::kUtf8, false, 0},
      {"invalid bytes after a UTF-8 mark", "\xEF\xBB\xBF\xE9t\xE9", TextEncoding::kUtf8, false, 0},
      {"four-byte character", "\xF0\x9F\x98\x80", TextEncoding::kUtf8, false, 0},
      {"not a mark but a character", "\xEF\xBB\xBE", TextEncoding::kUtf8, false, 0},
      {"long valid UTF-8", utf8, TextEncoding::kUtf8, false, 4},
      {"invalid UTF-8 late in a long file", utf8 + "\xC3(", TextEncoding::kBytes, false, 4},
      {"a lone continuation byte late", utf8 + "\x80", TextEncoding::kBytes, false, 4},
      {"cut inside a character", "abc\xE2\x82", TextEncoding::kBytes, false, 3},
      {"long file cut inside a character", utf8 + "\xF0\x9F\x98", TextEncoding::kBytes, false, 4},
      {"overlong form", "a\xC0\x80", TextEncoding::kBytes, false, 1},
      {"surrogate", "\xED\xA0\x80", TextEncoding::kBytes, false, 0},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", TextEncoding::kBytes, false, 0},
      {"UTF-16 LE with a mark", std::string("\xFF\xFE" "a\0\t\0b\0", 8), TextEncoding::kUtf16Le, false, 0},
      {"UTF-16 BE with a mark", std::string("\xFE\xFF\0a\0\t\0b", 8), TextEncoding::kUtf16Be, false, 0},
      {"UTF-16 LE mark alone", "\xFF\xFE", TextEncoding::kUtf16Le, false, 0},
      {"UTF-16 BE mark alone", "\xFE\xFF", TextEncoding::kUtf16Be, false, 0},
      {"half a mark", "\xFF", TextEncoding::kBytes, false, 0},
      {"two thirds of a UTF-8 mark", "\xEF\xBB", TextEncoding::kBytes, false, 0},
      {"UTF-16 without a mark", std::string("a\0b\0", 4), TextEncoding::kBytes, true, none},
      {"NUL in ASCII", std::string("a\0b", 3), TextEncoding::kBytes, true, none},
      {"NUL first", std::string("\0\xC3\xA9", 3), TextEncoding::kUtf8, true, 1},
      {"NUL late in UTF-8", utf8 + std::string("\0", 1), TextEncoding::kUtf8, true, 4},
      {"NUL after invalid UTF-8", "\xE9" + utf8 + std::string("\0", 1), TextEncoding::kBytes, true, 0},
      {"NUL after a UTF-8 mark", std::string("\xEF\xBB\xBF" "a\0", 5), TextEncoding::kUtf8, true, 0},
  };
  const size_t pieces[] = {1, 2, 3, 7, 64, 4096, size_t{1} << 30};
  for (const auto& c : cases) {
    for (size_t piece : pieces) {
      SCOPED_TRACE(testing::Message() << c.name << ", pieces of " << piece);
      EncodingDetector detector;
      for (size_t at = 0; at < c.text.size(); at += piece)
        detector.Feed(c.text.data() + at, std::min(piece, c.text.size() - at));
      detector.Finish();
      EXPECT_EQ(c.encoding, detector.GetEncoding());
      EXPECT_EQ(c.nul, detector.HasNul());
      EXPECT_EQ(c.firstHigh, detector.GetFirstHighByte());
    }
  }
}

// Whether text is valid UTF-8 with a multi-byte character, by the bit
// patterns and the code point ranges alone.
bool IsUtf8Reference(const std::string& text) {
  bool multiByte = false;
  for (size_t i = 0; i < text.size();) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    int length;
    char32_t ch, min;
    if (b >= 0xC0 && b < 0xE0) length = 2, ch = b & 0x1F, min = 0x80;
    else if (b >= 0xE0 && b < 0xF0) length = 3, ch = b & 0x0F, min = 0x800;
    else if (b >= 0xF0 && b < 0xF8) length = 4, ch = b & 0x07, min = 0x10000;
    else return false;
    if (text.size() - i < static_cast<size_t>(length)) return false;
    for (int k = 1; k < length; ++k) {
      const unsigned char c = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
      if ((c & 0xC0) != 0x80) return false;
      ch = (ch << 6) | (c & 0x3F);
    }
    if (ch < min || ch > 0x10FFFF || (ch >= 0xD800 && ch < 0xE000)) return false;
    multiByte = true;
    i += static_cast<size_t>(length);
  }
  return multiByte;
}

// The check goes through long stretches many bytes at a time: texts of
// valid characters of every length (those next to the forms that are not
// allowed too), each with one fault or none at some place, fed in pieces of
// every size, give what the plain rule gives.
TEST(EncodingDetector, AgreesWithTheRuleAnywhereInLongText) {
  const char* const valid[] = {"\xC2\x80", "\xDF\xBF", "\xC3\xA9", "\xE0\xA0\x80", "\xE0\xBF\xBF",
                               "\xE4\xB8\xAD", "\xED\x9F\xBF", "\xEE\x80\x80", "\xEF\xBF\xBF",
                               "\xF0\x90\x80\x80", "\xF3\xBF\xBF\xBF", "\xF4\x8F\xBF\xBF", "\t", "\r\n"};
  const char* const faults[] = {"\x80",         "\xBF",         "\xC0\x80",         "\xC1\xBF",
                                "\xC3",         "\xC3(",        "\xE0\x9F\xBF",     "\xED\xA0\x80",
                                "\xE4\xB8",     "\xE4(\xAD",    "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80",
                                "\xF5\x80\x80\x80", "\xF8",      "\xFF",              "\xF0\x9F\x98",
                                "\xC3\xA9\xA9"};
  std::mt19937 rng(8);
  for (int round = 0; round < 1500; ++round) {
    // Mostly ASCII with a few characters a line, or mostly characters.
    const int share = round % 3 == 0 ? 60 : 6;
    std::string text = "x";
    const size_t length = static_cast<size_t>(1 + rng() % 3000);
    while (text.size() < length) {
      if (static_cast<int>(rng() % 100) < share) text += valid[rng() % std::size(valid)];
      else text += static_cast<char>('a' + rng() % 26);
    }
    // A fault (or a NUL) at any place, near a 64-byte boundary more often.
    const int kind = round % 5;
    if (kind != 0) {
      const size_t nearBoundary = static_cast<size_t>((rng() % 40) * 64 + 58 + rng() % 8);
      size_t at = rng() % 2 ? rng() % text.size() : std::min(text.size(), nearBoundary);
      while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;  // not inside a character
      if (kind == 4) text.insert(at, 1, '\0');
      else text.insert(at, faults[rng() % std::size(faults)]);
    }
    const bool nul = text.find('\0') != std::string::npos;
    const size_t high = std::find_if(text.begin(), text.end(), [](char c) { return c & 0x80; }) - text.begin();
    const TextEncoding expected = IsUtf8Reference(text) ? TextEncoding::kUtf8 : TextEncoding::kBytes;
    const size_t pieces[] = {1, 63, 100, 4096, size_t{1} << 20};
    const size_t piece = pieces[round % std::size(pieces)];
    SCOPED_TRACE(testing::Message() << "round " << round << ", length " << text.size() << ", pieces of " << piece);
    EncodingDetector detector;
    for (size_t at = 0; at < text.size(); at += piece)
      detector.Feed(text.data() + at, std::min(piece, text.size() - at));
    detector.Finish();
    ASSERT_EQ(expected, detector.GetEncoding());
    EXPECT_EQ(nul, detector.HasNul());
    EXPECT_EQ(high == text.size() ? EncodingDetector::kNoHighByte : high, detector.GetFirstHighByte());
  }
}

// A character that a 64-byte stretch ends inside of, with ASCII after it:
// whole it is UTF-8, cut short or with its last byte not a continuation not.
TEST(EncodingDetector, FollowsACharacterAcrossTheEndOfAStretch) {
  const struct {
    const char* character;
    TextEncoding encoding;
  } cases[] = {
      {"\xE4\xB8\xAD", TextEncoding::kUtf8},   {"\xE4\xB8", TextEncoding::kBytes},
      {"\xF0\x9F\x98\x80", TextEncoding::kUtf8}, {"\xF0\x9F\x98", TextEncoding::kBytes},
      {"\xE0\xA0\x80", TextEncoding::kUtf8},   {"\xE0\x80\x80", TextEncoding::kBytes},
      {"\xF4\x8F\x80\x80", TextEncoding::kUtf8}, {"\xF4\x90\x80\x80", TextEncoding::kBytes},
  };
  for (const auto& c : cases) {
    for (size_t before = 56; before <= 72; ++before) {
      for (size_t piece : {size_t{64}, size_t{1} << 20}) {
        SCOPED_TRACE(testing::Message() << before << " bytes before, pieces of " << piece << ", "
                                        << (c.encoding == TextEncoding::kUtf8 ? "whole" : "faulty"));
        const std::string text = std::string(before, 'a') + c.character + std::string(200, 'b');
        EncodingDetector detector;
        for (size_t at = 0; at < text.size(); at += piece)
          detector.Feed(text.data() + at, std::min(piece, text.size() - at));
        detector.Finish();
        EXPECT_EQ(c.encoding, detector.GetEncoding());
        EXPECT_EQ(before, detector.GetFirstHighByte());
      }
    }
  }
  // Cut short, and a stray continuation byte where a later stretch of the
  // piece begins (the first byte goes to the mark check, so stretches begin
  // at 1 + 64 k): the cut character does not reach over the ASCII.
  for (size_t before = 56; before <= 72; ++before) {
    SCOPED_TRACE(testing::Message() << before << " bytes before a cut character, a stray byte at 129");
    const std::string text = std::string(before, 'a') + "\xE4\xB8" + std::string(129 - before - 2, 'b') + "\xAD" +
                             std::string(200, 'c');
    EncodingDetector detector;
    detector.Feed(text.data(), text.size());
    detector.Finish();
    EXPECT_EQ(TextEncoding::kBytes, detector.GetEncoding());
  }
}

TEST(EncodingDetector, SettlesAtAMarkOrAtTheFirstInvalidByte) {
  const struct {
    const char* name;
    std::string text;
    bool settled;
  } cases[] = {
      {"UTF-16 mark", "\xFF\xFE", true},
      {"UTF-8 mark", "\xEF\xBB\xBF", true},
      {"start of a UTF-8 mark", "\xEF\xBB", false},
      {"invalid byte", "ab\xFF", true},
      {"valid UTF-8 so far", "ab\xC3\xA9", false},
      {"ASCII so far", "ab", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EncodingDetector detector;
    detector.Feed(c.text.data(), c.text.size());
    EXPECT_EQ(c.settled, detector.IsSettled());
  }
}

}  // namespace
