// "Leading tabs only" through every expander and the in-memory expansions,
// against the line-by-line reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "engine/expand_text.h"
#include "engine/tab_expander.h"
#include "engine/unicode_expanders.h"
#include "tests/engine/reference_expand.h"

namespace {

class StringSink : public ByteSink {
 public:
  void Write(const char* data, size_t size) override { m_strData.append(data, size); }
  std::string m_strData;
};

TabStopList LeadingOnly(TabStopList stops) {
  stops.SetLeadingOnly(true);
  return stops;
}

// UTF-8 to UTF-16 (little-endian units), for texts of valid UTF-8.
std::u16string ToUtf16(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    char32_t ch = static_cast<unsigned char>(text[i]);
    const int length = ch < 0x80 ? 1 : DecodeUtf8Reference(text, i, ch);
    if (ch >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((ch - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((ch - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(ch);
    }
    i += static_cast<size_t>(length);
  }
  return out;
}

std::string Bytes(const std::u16string& units, bool bigEndian) {
  std::string out;
  for (char16_t unit : units) {
    out += static_cast<char>(bigEndian ? unit >> 8 : unit & 0xFF);
    out += static_cast<char>(bigEndian ? unit & 0xFF : unit >> 8);
  }
  return out;
}

template <typename Expander>
void Feed(Expander& expander, const std::string& text, std::mt19937& rng, size_t maxPiece) {
  std::uniform_int_distribution<size_t> pieceSize(0, maxPiece);
  for (size_t at = 0; at < text.size();) {
    const size_t n = std::min(pieceSize(rng), text.size() - at);
    expander.Expand(text.data() + at, n);
    at += n;
  }
}

// Runs text (valid UTF-8) through all five ways and checks each against the
// reference: the byte and UTF-8 expanders and the 8-bit in-memory expansion
// on the bytes, the UTF-16 expander in both orders and the in-memory UTF-16
// expansion on its units.
void ExpectEveryWayMatches(const std::string& text, const TabStopList& stops, std::mt19937& rng, size_t maxPiece,
                           size_t bufferSize) {
  uint64_t byteTabs = 0;
  const std::string bytesWant = ReferenceLeadingOnly(text, stops, false, byteTabs);
  uint64_t utf8Tabs = 0;
  const std::string utf8Want = ReferenceLeadingOnly(text, stops, true, utf8Tabs);
  const std::u16string units = ToUtf16(text);
  uint64_t utf16Tabs = 0;
  const std::u16string unitsWant = ReferenceLeadingOnly(units, stops, true, utf16Tabs);
  {
    StringSink sink;
    TabExpander expander(stops, sink, bufferSize);
    Feed(expander, text, rng, maxPiece);
    expander.Flush();
    EXPECT_EQ(bytesWant, sink.m_strData) << "bytes";
    EXPECT_EQ(byteTabs, expander.GetTabCount()) << "bytes";
  }
  {
    const ExpandedTextSize size = MeasureExpandedText(text.data(), text.size(), stops);
    EXPECT_EQ(bytesWant.size(), size.m_nBytes);
    EXPECT_EQ(byteTabs, size.m_nTabCount);
    std::string out(bytesWant.size(), '\0');
    out.resize(ExpandTextInto(text.data(), text.size(), stops, &out[0], out.size()));
    EXPECT_EQ(bytesWant, out) << "in memory";
  }
  {
    StringSink sink;
    Utf8Expander expander(stops, sink, bufferSize);
    Feed(expander, text, rng, maxPiece);
    expander.Finish();
    EXPECT_EQ(utf8Want, sink.m_strData) << "UTF-8";
    EXPECT_EQ(utf8Tabs, expander.GetTabCount()) << "UTF-8";
  }
  for (bool bigEndian : {false, true}) {
    StringSink sink;
    Utf16Expander expander(stops, sink, bigEndian, bufferSize);
    Feed(expander, Bytes(units, bigEndian), rng, maxPiece);
    expander.Finish();
    EXPECT_EQ(Bytes(unitsWant, bigEndian), sink.m_strData) << "UTF-16, big-endian " << bigEndian;
    EXPECT_EQ(utf16Tabs, expander.GetTabCount()) << "UTF-16, big-endian " << bigEndian;
  }
  {
    const ExpandedTextSize size = MeasureExpandedUtf16(units.data(), units.size(), stops);
    EXPECT_EQ(unitsWant.size() * 2, size.m_nBytes);
    EXPECT_EQ(utf16Tabs, size.m_nTabCount);
    std::u16string out(unitsWant.size(), u'\0');
    out.resize(ExpandUtf16Into(units.data(), units.size(), stops, &out[0], out.size()));
    EXPECT_EQ(unitsWant, out) << "UTF-16 in memory";
  }
}

TEST(LeadingTabsOnly, ConvertsOnlyTheIndentationOfEachLine) {
  const struct {
    const char* name;
    TabStopList stops;
    std::string text;
    std::string output;  // the same by every rule
    uint64_t tabs;
  } cases[] = {
      {"indentation and a tab after code", TabStopList{8}, "\tint x;\t// x\n", "        int x;\t// x\n", 1},
      {"blanks and tabs mixed", TabStopList{4}, "  \t x\t\r\n\t\ty", "     x\t\r\n        y", 3},
      {"a line of blanks and tabs only", TabStopList{4}, "\t \t\nz\t", "        \nz\t", 2},
      {"a tab after a letter stays", TabStopList{8}, "a\tb", "a\tb", 0},
      {"a carriage return alone starts a line", TabStopList{2}, "x\t\r\ty", "x\t\r  y", 1},
      {"a line feed alone starts a line", TabStopList{2}, "x\t\n\ty", "x\t\n  y", 1},
      {"a stop list", TabStopList{4, 6, 10}, "\t\t\t\tx\t", std::string(30, ' ') + "x\t", 4},
      {"a stop list after blanks", TabStopList{4, 6, 10}, "     \tx", std::string(10, ' ') + "x", 1},
      {"other characters end the indentation", TabStopList{4}, "\xC3\xA9\t\n-\t", "\xC3\xA9\t\n-\t", 0},
      {"empty", TabStopList{8}, "", "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TabStopList stops = LeadingOnly(c.stops);
    StringSink bytes, utf8;
    TabExpander byteExpander(stops, bytes);
    byteExpander.Expand(c.text.data(), c.text.size());
    byteExpander.Flush();
    EXPECT_EQ(c.output, bytes.m_strData);
    EXPECT_EQ(c.tabs, byteExpander.GetTabCount());
    Utf8Expander utf8Expander(stops, utf8);
    utf8Expander.Expand(c.text.data(), c.text.size());
    utf8Expander.Finish();
    EXPECT_EQ(c.output, utf8.m_strData);
    EXPECT_EQ(c.tabs, utf8Expander.GetTabCount());
    std::mt19937 rng(1);
    ExpectEveryWayMatches(c.text, stops, rng, 3, 5);
  }
}

TEST(LeadingTabsOnly, TheByteOrderMarkBelongsToTheFirstIndentation) {
  const TabStopList stops = LeadingOnly(TabStopList{4});
  StringSink utf8;
  Utf8Expander utf8Expander(stops, utf8);
  const std::string text = "\xEF\xBB\xBF\tx\t";
  // Cut inside the mark: the expander completes it from the next piece.
  utf8Expander.Expand(text.data(), 2);
  utf8Expander.Expand(text.data() + 2, text.size() - 2);
  utf8Expander.Finish();
  EXPECT_EQ("\xEF\xBB\xBF    x\t", utf8.m_strData);

  StringSink utf16;
  Utf16Expander utf16Expander(stops, utf16, false);
  const std::string units = Bytes(u"\uFEFF\tx\t", false);
  utf16Expander.Expand(units.data(), 3);  // cut inside the tab's unit
  utf16Expander.Expand(units.data() + 3, units.size() - 3);
  utf16Expander.Finish();
  EXPECT_EQ(Bytes(u"\uFEFF    x\t", false), utf16.m_strData);
  EXPECT_EQ(1u, utf16Expander.GetTabCount());
}

// Source-like lines: indentations of tabs and blanks, code with tabs in it,
// CRLF or LF, now and then characters from 0x80 up and long lines.
std::string RandomSource(std::mt19937& rng, size_t lines, bool crlf) {
  static const char* const kWords[] = {"x",  "int", "\t", "  ", "\t\t", "=", ";", "// note", "\xC3\xA9",
                                       "\xE6\x97\xA5", "\xF0\x9F\x98\x80", "\t ", "a_long_identifier_name"};
  std::uniform_int_distribution<int> roll(0, 99);
  std::string text;
  for (size_t line = 0; line < lines; ++line) {
    for (int n = roll(rng) % 6; n > 0; --n) text += roll(rng) < 55 ? '\t' : ' ';
    const int words = roll(rng) < 5 ? 60 : roll(rng) % 10;
    for (int n = 0; n < words; ++n) text += kWords[roll(rng) % (sizeof kWords / sizeof kWords[0])];
    if (roll(rng) < 3) text += '\r';  // a carriage return alone
    text += crlf ? "\r\n" : "\n";
  }
  return text;
}

TEST(LeadingTabsOnly, EveryExpanderMatchesTheReferenceOnRandomSourceInRandomPieces) {
  const TabStopList lists[] = {TabStopList{8}, TabStopList{4}, TabStopList{3}, TabStopList{4, 6, 10},
                               TabStopList{1, 2, 65000}, TabStopList{2, 5}};
  std::mt19937 rng(20261211);
  int round = 0;
  for (const TabStopList& list : lists) {
    const TabStopList stops = LeadingOnly(list);
    for (int i = 0; i < 8; ++i, ++round) {
      SCOPED_TRACE(testing::Message() << "round " << round);
      const size_t lines = list.GetLast() > 1000 ? 20 : 400;
      const std::string text = RandomSource(rng, lines, i % 2 == 0);
      ExpectEveryWayMatches(text, stops, rng, i % 3 == 0 ? 7 : 3000, i % 4 == 0 ? 13 : 64 * 1024);
      if (HasFailure()) return;
    }
  }
}

// The conversion of a file hands the state from the byte path to a
// character path where the first byte from 0x80 shows, anywhere in a line.
TEST(LeadingTabsOnly, TheIndentationCarriesFromTheBytePathToTheCharacterPaths) {
  const TabStopList stops = LeadingOnly(TabStopList{4});
  const std::string text = "x\t\n \t\t\xC3\xA9\t\n\t\xE6\x97\xA5\t";
  uint64_t tabs = 0;
  const std::string want = ReferenceLeadingOnly(text, stops, true, tabs);
  for (size_t split = 0; split <= text.size(); ++split) {
    SCOPED_TRACE(split);
    StringSink sink;
    TabExpander bytes(stops, sink);
    bytes.Expand(text.data(), split);
    bytes.Flush();
    Utf8Expander utf8(stops, sink);
    utf8.SetState(bytes.GetColumn(), bytes.GetTabCount(), bytes.IsInIndentation());
    utf8.Expand(text.data() + split, text.size() - split);
    utf8.Finish();
    EXPECT_EQ(want, sink.m_strData);
    EXPECT_EQ(tabs, utf8.GetTabCount());
  }
}

}  // namespace
