#include "engine/unicode_expanders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/char_width.h"
#include "tests/engine/reference_expand.h"

namespace {

class StringSink : public ByteSink {
 public:
  void Write(const char* data, size_t size) override {
    m_nLargestWrite = std::max(m_nLargestWrite, size);
    m_strData.append(data, size);
  }
  std::string m_strData;
  size_t m_nLargestWrite = 0;
};

// The spaces that a tab at `column` stands for, by the byte rule.
int TabSpaces(int64_t& column, uint64_t& tabCount, const TabStopList& stops) {
  char ch = '\t';
  return ExpandStep(ch, column, tabCount, stops);
}

// The rule, one character at a time: tabs, carriage returns, line feeds and
// ASCII as the byte rule has them; a character moves the column by its
// width; a byte that is not part of a valid character by one.
std::string ReferenceUtf8(const std::string& text, const TabStopList& stops, int64_t& column, uint64_t& tabs,
                          bool* valid = nullptr) {
  if (valid != nullptr) *valid = true;
  std::string out;
  for (size_t i = 0; i < text.size();) {
    char32_t ch;
    const int length = DecodeUtf8Reference(text, i, ch);
    if (length > 0) {
      column += CharWidth(ch);
      out.append(text, i, static_cast<size_t>(length));
      i += static_cast<size_t>(length);
    } else {
      if (valid != nullptr && (text[i] & 0x80) != 0) *valid = false;
      char byte = text[i++];
      const int repeat = ExpandStep(byte, column, tabs, stops);
      out.append(static_cast<size_t>(repeat), byte);
    }
  }
  return out;
}

std::string ReferenceUtf16(const std::string& text, bool bigEndian, const TabStopList& stops, int64_t& column,
                           uint64_t& tabs) {
  auto unitAt = [&](size_t i) -> char32_t {
    const unsigned char a = static_cast<unsigned char>(text[i]), b = static_cast<unsigned char>(text[i + 1]);
    return bigEndian ? (a << 8) | b : (b << 8) | a;
  };
  const std::string space = bigEndian ? std::string("\0 ", 2) : std::string(" \0", 2);
  std::string out;
  size_t i = 0;
  for (; i + 2 <= text.size(); i += 2) {
    const char32_t unit = unitAt(i);
    if (unit == '\t') {
      for (int n = TabSpaces(column, tabs, stops); n > 0; --n) out += space;
      continue;
    }
    out.append(text, i, 2);
    if (unit == '\r' || unit == '\n') {
      column = 0;
    } else if (unit >= 0xD800 && unit < 0xDC00 && i + 4 <= text.size() && unitAt(i + 2) >= 0xDC00 &&
               unitAt(i + 2) < 0xE000) {
      column += CharWidth(0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 2) - 0xDC00));
      out.append(text, i + 2, 2);
      i += 2;
    } else {
      column += CharWidth(unit);  // a lone surrogate is 1 here too
    }
  }
  out.append(text, i, std::string::npos);
  return out;
}

std::string Utf8Of(char32_t ch) {
  std::string s;
  AppendUtf8Reference(s, ch);
  return s;
}

// Characters of every length and width, and the line and tab characters.
const char32_t kCharacters[] = {
    'a',     'Z',     ' ',     '\t',    '\t',    '\r',    '\n',   0x00E9, 0x0416, 0x0301, 0x05B4,
    0x00AD,  0x0085,  0x20AC,  0x4E2D,  0x3000,  0x200B,  0xFEFF, 0xFF21, 0x1160, 0xAC00, 0x1F600,
    0x10348, 0xE0100, 0x20000, 0x10FFFF,
};

// Bytes that start no valid character: stray continuation bytes, leads cut
// short or never valid, an overlong form, a surrogate.
const char* const kInvalid[] = {"\x80", "\xBF", "\xC3", "\xE2\x82", "\xF0\x9F\x98", "\xC0\x80",
                                "\xED\xA0\x80", "\xF5", "\xFF", "\xF4\x90\x80\x80"};

// Random text of about `length` bytes: mostly ASCII words, with a share of
// other characters, CRLF line ends and, if asked, invalid bytes.
std::string RandomUtf8(std::mt19937& rng, size_t length, int otherPercent, bool invalid) {
  std::uniform_int_distribution<int> percent(0, 99);
  std::string text;
  while (text.size() < length) {
    const int roll = percent(rng);
    if (roll < otherPercent) text += Utf8Of(kCharacters[rng() % std::size(kCharacters)]);
    else if (invalid && roll < otherPercent + 3) text += kInvalid[rng() % std::size(kInvalid)];
    else if (roll < otherPercent + 6) text += "\r\n";
    else if (roll < otherPercent + 12) text += '\t';
    else text += static_cast<char>('a' + rng() % 26);
  }
  return text;
}

// Feeds text in random pieces (some empty, some of one byte).
template <typename Expander>
void ExpandInPieces(Expander& expander, const std::string& text, std::mt19937& rng, size_t maxPiece) {
  std::uniform_int_distribution<size_t> pieceSize(0, maxPiece);
  for (size_t at = 0; at < text.size();) {
    const size_t n = std::min(pieceSize(rng), text.size() - at);
    expander.Expand(text.data() + at, n);
    at += n;
  }
  expander.Finish();
}

const size_t kBufferSizes[] = {1, 2, 3, 7, 64, 4096};

std::vector<TabStopList> StopLists() {
  return {TabStopList{8}, TabStopList{1}, TabStopList{3}, TabStopList{4}, TabStopList{7},
          TabStopList{4, 2}, TabStopList{3, 5, 1, 7}, TabStopList{1000}};
}

TEST(Utf8Expander, MatchesTheCharacterRuleOnGeneratedText) {
  std::mt19937 rng(20250611);
  std::uniform_int_distribution<size_t> length(0, 5000);
  int round = 0;
  for (const TabStopList& stops : StopLists()) {
    for (int i = 0; i < 24; ++i, ++round) {
      const bool invalid = i % 2 == 1;
      // From a few characters a line (source text) to nothing but them.
      const int other = std::vector<int>{2, 10, 40, 90}[i % 4];
      const std::string text = RandomUtf8(rng, stops.GetLast() >= 1000 ? length(rng) / 10 : length(rng), other, invalid);
      const size_t bufferSize = kBufferSizes[round % std::size(kBufferSizes)];
      const size_t maxPiece = std::vector<size_t>{1, 5, 70, 10000}[(round / 3) % 4];
      SCOPED_TRACE(testing::Message() << "round " << round << ", first width " << stops[0] << ", buffer "
                                      << bufferSize << ", pieces up to " << maxPiece << ", length " << text.size()
                                      << (invalid ? ", invalid bytes" : ""));
      int64_t column = 0;
      uint64_t tabs = 0;
      bool valid;
      const std::string expected = ReferenceUtf8(text, stops, column, tabs, &valid);

      StringSink sink;
      Utf8Expander expander(stops, sink, bufferSize);
      expander.AlignOutputAfter(static_cast<uint64_t>(round) * 37);  // a first block cut short changes nothing
      ExpandInPieces(expander, text, rng, maxPiece);
      ASSERT_EQ(expected, sink.m_strData);
      EXPECT_EQ(column, expander.GetColumn());
      EXPECT_EQ(tabs, expander.GetTabCount());
      EXPECT_EQ(valid, expander.IsValid());
    }
  }
}

TEST(Utf8Expander, CountsCharactersByTheirWidth) {
  const struct {
    const char* name;
    std::string input;
    std::string output;
  } cases[] = {
      {"ASCII as the byte rule", "ab\tc\r\n\tx", "ab      c\r\n        x"},
      {"two-byte letter", "caf\xC3\xA9\tx", "caf\xC3\xA9    x"},
      {"wide ideographs", "\xE4\xB8\xAD\xE6\x96\x87\tx", "\xE4\xB8\xAD\xE6\x96\x87    x"},
      {"combining accent", "e\xCC\x81\tx", "e\xCC\x81       x"},
      {"mark takes no column", "\xEF\xBB\xBF\tx", "\xEF\xBB\xBF        x"},
      {"wide emoji", "\xF0\x9F\x98\x80\tx", "\xF0\x9F\x98\x80      x"},
      {"invalid bytes count one each", "\xE9\xE2\x82\tx", "\xE9\xE2\x82     x"},
      {"a line feed ends a line", "\xE4\xB8\xAD\n\tx", "\xE4\xB8\xAD\n        x"},
      {"cut character at the end", "\tab\xE2\x82", "        ab\xE2\x82"},
  };
  for (const auto& c : cases) {
    for (size_t piece : {size_t{1}, size_t{2}, size_t{1000}}) {
      SCOPED_TRACE(testing::Message() << c.name << ", pieces of " << piece);
      StringSink sink;
      Utf8Expander expander(TabStopList{8}, sink, 3);
      for (size_t at = 0; at < c.input.size(); at += piece)
        expander.Expand(c.input.data() + at, std::min(piece, c.input.size() - at));
      expander.Finish();
      EXPECT_EQ(c.output, sink.m_strData);
    }
  }
}

std::string RandomUtf16(std::mt19937& rng, size_t units, bool bigEndian) {
  std::string text;
  auto put = [&](uint32_t unit) {
    const char hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
    text += bigEndian ? hi : lo;
    text += bigEndian ? lo : hi;
  };
  put(0xFEFF);
  std::uniform_int_distribution<int> percent(0, 99);
  for (size_t i = 0; i < units; ++i) {
    const int roll = percent(rng);
    if (roll < 20) {
      const char32_t ch = kCharacters[rng() % std::size(kCharacters)];
      if (ch >= 0x10000) {
        put(0xD800 + ((ch - 0x10000) >> 10));
        put(0xDC00 + ((ch - 0x10000) & 0x3FF));
      } else {
        put(ch);
      }
    } else if (roll < 23) {
      put(0xD800 + rng() % 0x800);  // a lone surrogate of either half
    } else if (roll < 26) {
      put(rng() % 0x10000);  // any unit, the byte values 09, 0D, 0A in the other half too
    } else if (roll < 30) {
      put('\r'), put('\n');
    } else if (roll < 36) {
      put('\t');
    } else {
      put('a' + rng() % 26);
    }
  }
  if (rng() % 2) text += static_cast<char>(rng());  // an odd last byte
  return text;
}

TEST(Utf16Expander, MatchesTheCharacterRuleInBothByteOrders) {
  std::mt19937 rng(16);
  std::uniform_int_distribution<size_t> units(0, 2500);
  int round = 0;
  for (bool bigEndian : {false, true}) {
    for (const TabStopList& stops : StopLists()) {
      for (int i = 0; i < 10; ++i, ++round) {
        const std::string text = RandomUtf16(rng, stops.GetLast() >= 1000 ? units(rng) / 10 : units(rng), bigEndian);
        const size_t bufferSize = kBufferSizes[round % std::size(kBufferSizes)];
        const size_t maxPiece = std::vector<size_t>{1, 3, 70, 10000}[(round / 2) % 4];
        SCOPED_TRACE(testing::Message() << (bigEndian ? "big" : "little") << " endian, round " << round
                                        << ", buffer " << bufferSize << ", pieces up to " << maxPiece);
        int64_t column = 0;
        uint64_t tabs = 0;
        const std::string expected = ReferenceUtf16(text, bigEndian, stops, column, tabs);

        StringSink sink;
        Utf16Expander expander(stops, sink, bigEndian, bufferSize);
        ExpandInPieces(expander, text, rng, maxPiece);
        ASSERT_EQ(expected, sink.m_strData);
        EXPECT_EQ(column, expander.GetColumn());
        EXPECT_EQ(tabs, expander.GetTabCount());
      }
    }
  }
}

std::string Utf16Bytes(const std::u16string& units, bool bigEndian) {
  std::string bytes;
  for (char16_t unit : units) {
    const char hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? hi : lo;
    bytes += bigEndian ? lo : hi;
  }
  return bytes;
}

TEST(Utf16Expander, WritesSpacesInTheTextsByteOrder) {
  const struct {
    const char* name;
    std::u16string input;
    std::u16string output;
    const char* oddByte;
  } cases[] = {
      {"mark takes no column", u"\uFEFFab\tc", u"\uFEFFab      c", ""},
      {"wide and combining", u"\u4E2D\t\u0065\u0301\tx", u"\u4E2D      \u0065\u0301       x", ""},
      {"surrogate pair counts once", u"\U0001F600\t\U00010348\tx", u"\U0001F600      \U00010348       x", ""},
      {"lone surrogates count one", u"\xDC00\xD800\tx\xD800", u"\xDC00\xD800      x\xD800", ""},
      {"odd last byte copied", u"\ta", u"        a", "\x41"},
      {"carriage return and line feed", u"ab\r\n\t\n\t", u"ab\r\n        \n        ", ""},
  };
  for (const auto& c : cases) {
    for (bool bigEndian : {false, true}) {
      for (size_t piece : {size_t{1}, size_t{3}, size_t{1000}}) {
        SCOPED_TRACE(testing::Message() << c.name << (bigEndian ? ", big" : ", little") << " endian, pieces of "
                                        << piece);
        const std::string input = Utf16Bytes(c.input, bigEndian) + c.oddByte;
        StringSink sink;
        Utf16Expander expander(TabStopList{8}, sink, bigEndian, 2);
        for (size_t at = 0; at < input.size(); at += piece)
          expander.Expand(input.data() + at, std::min(piece, input.size() - at));
        expander.Finish();
        EXPECT_EQ(Utf16Bytes(c.output, bigEndian) + c.oddByte, sink.m_strData);
      }
    }
  }
}

TEST(UnicodeExpanders, ContinuePastThirtyTwoBitColumnsAndCounts) {
  std::mt19937 rng(64);
  for (int64_t start : {(int64_t{1} << 31) - 2, (int64_t{1} << 32) + 1, int64_t{1} << 45}) {
    SCOPED_TRACE(testing::Message() << "column " << start);
    const uint64_t count = (uint64_t{1} << 32) - 3;
    // No carriage return, so the column stays beyond 2^31.
    std::string text = RandomUtf8(rng, 3000, 20, false);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    int64_t column = start;
    uint64_t tabs = count;
    const std::string expected = ReferenceUtf8(text, TabStopList{7}, column, tabs);
    StringSink sink;
    Utf8Expander expander(TabStopList{7}, sink, 256);
    expander.SetState(start, count);
    ExpandInPieces(expander, text, rng, 100);
    EXPECT_EQ(expected, sink.m_strData);
    EXPECT_EQ(column, expander.GetColumn());
    EXPECT_EQ(tabs, expander.GetTabCount());
    EXPECT_GT(expander.GetTabCount(), uint64_t{0xFFFFFFFF});

    const std::string units = Utf16Bytes(u"\t\u4E2D\tx\t", false);
    column = start;
    tabs = count;
    const std::string expected16 = ReferenceUtf16(units, false, TabStopList{7}, column, tabs);
    StringSink sink16;
    Utf16Expander expander16(TabStopList{7}, sink16, false, 256);
    expander16.SetState(start, count);
    ExpandInPieces(expander16, units, rng, 3);
    EXPECT_EQ(expected16, sink16.m_strData);
    EXPECT_EQ(column, expander16.GetColumn());
    EXPECT_EQ(tabs, expander16.GetTabCount());
  }
}

// The expander takes characters 64 bytes at a time; one that a block's end
// cuts, with a tab right after it, at every place around the end, for
// every kind of character, lands its tab where the rule says.
TEST(Utf8Expander, TakesACharacterAcrossABlocksEndWithATabAfterIt) {
  const char* const characters[] = {"\xC3\xA9",         "\xCC\x81",         "\xD0\x96",     "\xE4\xB8\xAD",
                                    "\xEC\x95\x88",     "\xE2\x82\xAC",     "\xE2\x80\x8B", "\xEF\xBC\xA1",
                                    "\xF0\x9F\x98\x80", "\xF3\xA0\x84\x80", "\xE9",         "\xE4\xB8"};
  for (const char* character : characters) {
    for (size_t before = 56; before <= 72; ++before) {
      for (const std::string& tail : {std::string("\tx"), std::string("\t\t\xC3\xA9\ty") + std::string(70, 'z')}) {
        SCOPED_TRACE(testing::Message() << before << " bytes before a character of " << std::strlen(character)
                                        << " bytes");
        const std::string text = std::string(before, 'a') + character + tail + "\r\n" + std::string(100, 'b');
        int64_t column = 0;
        uint64_t tabs = 0;
        bool valid;
        const std::string expected = ReferenceUtf8(text, TabStopList{8}, column, tabs, &valid);
        for (size_t piece : {size_t{64}, size_t{65}, text.size()}) {
          StringSink sink;
          Utf8Expander expander(TabStopList{8}, sink, 4096);
          for (size_t at = 0; at < text.size(); at += piece)
            expander.Expand(text.data() + at, std::min(piece, text.size() - at));
          expander.Finish();
          EXPECT_EQ(expected, sink.m_strData) << "pieces of " << piece;
          EXPECT_EQ(valid, expander.IsValid());
        }
      }
    }
  }
}

// The block scan takes some characters' widths from their lead byte alone
// (two-byte characters up to U+02FF one column, the ideographs U+4000 to
// U+9FFF and the Hangul syllables U+B000 to U+CFFF two): the table, made
// from the Unicode data at build time, must agree.
TEST(Utf8Expander, TheTableAgreesWithTheWidthsTakenFromLeadBytes) {
  for (char32_t ch = 0x80; ch <= 0x2FF; ++ch) ASSERT_EQ(1, CharWidth(ch)) << std::hex << "U+" << ch;
  for (char32_t ch = 0x4000; ch <= 0x9FFF; ++ch) ASSERT_EQ(2, CharWidth(ch)) << std::hex << "U+" << ch;
  for (char32_t ch = 0xB000; ch <= 0xCFFF; ++ch) ASSERT_EQ(2, CharWidth(ch)) << std::hex << "U+" << ch;
}

// After AlignOutputAfter(before) the first block ends where the sink's
// bytes reach a multiple of the buffer size, and every later block is whole.
TEST(Utf8Expander, AlignsItsBlocksAfterTheBytesBefore) {
  std::string text;
  while (text.size() < 5000) text += "caf\xC3\xA9\tx\r\n\xE4\xB8\xAD\ty\r\n";
  int64_t column = 0;
  uint64_t tabs = 0;
  const std::string expected = ReferenceUtf8(text, TabStopList{8}, column, tabs);
  const struct {
    uint64_t before;
    size_t first;
  } cases[] = {{0, 1000}, {1, 999}, {600, 400}, {998, 2}, {999, 1000}, {1000, 1000}, {2300, 700}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.before << " bytes before");
    class BlockSink : public ByteSink {
     public:
      void Write(const char* data, size_t size) override {
        m_Sizes.push_back(size);
        m_strData.append(data, size);
      }
      std::vector<size_t> m_Sizes;
      std::string m_strData;
    } sink;
    Utf8Expander expander(TabStopList{8}, sink, 1000);
    expander.AlignOutputAfter(c.before);
    expander.Expand(text.data(), text.size());
    expander.Finish();
    EXPECT_EQ(expected, sink.m_strData);
    ASSERT_GE(sink.m_Sizes.size(), 3u);
    EXPECT_EQ(c.first, sink.m_Sizes[0]);
    for (size_t i = 1; i + 1 < sink.m_Sizes.size(); ++i) EXPECT_EQ(1000u, sink.m_Sizes[i]) << "block " << i;
  }
}

TEST(UnicodeExpanders, HandOutputOverInBlocksOfTheBufferSize) {
  const std::string tabs(10000, '\t');
  StringSink sink;
  Utf8Expander expander(TabStopList{8}, sink, 1000);
  expander.Expand(tabs.data(), tabs.size());
  expander.Finish();
  EXPECT_EQ(std::string(80000, ' '), sink.m_strData);
  EXPECT_EQ(1000u, sink.m_nLargestWrite);

  const std::string units = Utf16Bytes(std::u16string(5000, u'\t'), true);
  StringSink sink16;
  Utf16Expander expander16(TabStopList{8}, sink16, true, 1000);
  expander16.Expand(units.data(), units.size());
  expander16.Finish();
  EXPECT_EQ(Utf16Bytes(std::u16string(40000, u' '), true), sink16.m_strData);
  EXPECT_EQ(1000u, sink16.m_nLargestWrite);
}

// Text whose lines end in CR LF or CR alone comes out exactly as it did
// when only a carriage return ended a line (a line feed took no column): a
// line feed there always follows a carriage return, so the column is 0
// either way. Checked over a large random corpus, every expander, in
// random pieces.
TEST(Expanders, CrLfAndCrOnlyTextComeOutAsBeforeALineFeedEndedALine) {
  // The rule before: a carriage return ends a line, a line feed takes no
  // column, a character its width.
  auto before = [](const std::u32string& text, const TabStopList& stops, std::u32string& out) {
    int64_t column = 0;
    for (char32_t ch : text) {
      if (ch == '\t') {
        int64_t stop = 0;
        size_t i = 0;
        while (i < stops.GetSize() && stop <= column) stop += stops[i++];
        while (stop <= column) stop += stops.GetLast();
        out.append(static_cast<size_t>(stop - column), U' ');
        column = stop;
      } else {
        out += ch;
        if (ch == '\r') column = 0;
        else if (ch != '\n') column += ch < 0x80 ? 1 : CharWidth(ch);
      }
    }
  };
  auto utf8 = [](const std::u32string& text) {
    std::string s;
    for (char32_t ch : text) {
      if (ch < 0x80) {
        s += static_cast<char>(ch);
      } else if (ch < 0x800) {
        s += static_cast<char>(0xC0 | (ch >> 6)), s += static_cast<char>(0x80 | (ch & 0x3F));
      } else {
        s += static_cast<char>(0xE0 | (ch >> 12)), s += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (ch & 0x3F));
      }
    }
    return s;
  };
  auto utf16le = [](const std::u32string& text) {
    std::string s;
    for (char32_t ch : text) s += static_cast<char>(ch & 0xFF), s += static_cast<char>(ch >> 8);
    return s;
  };
  auto feed = [](auto& expander, const std::string& text, std::mt19937& rng) {
    std::uniform_int_distribution<size_t> piece(0, 5000);
    for (size_t at = 0; at < text.size();) {
      const size_t n = std::min(piece(rng), text.size() - at);
      expander.Expand(text.data() + at, n);
      at += n;
    }
  };

  std::mt19937 rng(20261211);
  const char32_t letters[] = {U'a', U'Z', U' ', U'\t', U'\t', U'\t', U'{', U';', 0xE9, 0x416, 0x4E2D, 0x301};
  std::uniform_int_distribution<size_t> letter(0, sizeof letters / sizeof letters[0] - 1);
  std::uniform_int_distribution<int> lineLength(0, 90);
  size_t total = 0;
  for (int round = 0; round < 24; ++round) {
    const bool crOnly = round % 2 == 1;
    const bool ascii = round % 3 == 0;
    const TabStopList stops = round % 4 == 3 ? TabStopList{4, 2, 7} : TabStopList(static_cast<uint16_t>(1 + round % 9));
    std::u32string text;
    while (text.size() < 60000) {
      for (int n = lineLength(rng); n > 0; --n) {
        const char32_t ch = letters[letter(rng)];
        text += ascii && ch >= 0x80 ? U'x' : ch;
      }
      text += crOnly ? U"\r" : U"\r\n";
    }
    total += text.size();
    SCOPED_TRACE(testing::Message() << "round " << round << (crOnly ? ", CR only" : ", CR LF"));
    std::u32string want;
    before(text, stops, want);

    if (ascii) {
      StringSink sink;
      TabExpander expander(stops, sink);
      feed(expander, utf8(text), rng);
      expander.Flush();
      EXPECT_EQ(utf8(want), sink.m_strData) << "bytes";
    }
    {
      StringSink sink;
      Utf8Expander expander(stops, sink);
      feed(expander, utf8(text), rng);
      expander.Finish();
      EXPECT_EQ(utf8(want), sink.m_strData) << "UTF-8";
    }
    {
      StringSink sink;
      Utf16Expander expander(stops, sink, false);
      feed(expander, utf16le(text), rng);
      expander.Finish();
      EXPECT_EQ(utf16le(want), sink.m_strData) << "UTF-16";
    }
  }
  EXPECT_GT(total, size_t{1000000});
}

}  // namespace
