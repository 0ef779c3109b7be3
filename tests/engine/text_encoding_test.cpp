#include "engine/text_encoding.h"

#include <gtest/gtest.h>

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
