#include "engine/tab_stops.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/engine/reference_expand.h"

namespace {

std::string Spaces(size_t n) { return std::string(n, ' '); }

struct RuleCase {
  const char* name;
  TabStopList stops;
  std::string input;
  std::string output;
  uint64_t tabs;
  int64_t column;  // after the input
};

TEST(ExpandStep, FollowsTheRule) {
  const RuleCase cases[] = {
      {"tab between letters", TabStopList{8}, "a\tb", "a" + Spaces(7) + "b", 1, 9},
      {"tab at column 0", TabStopList{8}, "\t", Spaces(8), 1, 8},
      {"tab at column 5", TabStopList{8}, "12345\t", "12345" + Spaces(3), 1, 8},
      {"tab on a stop moves a whole width", TabStopList{8}, "12345678\t", "12345678" + Spaces(8), 1, 16},
      {"two tabs in a row", TabStopList{8}, "\t\t", Spaces(16), 2, 16},
      {"carriage return resets the column", TabStopList{8}, "ab\rc\t", "ab\rc" + Spaces(7), 1, 8},
      {"CRLF then tab", TabStopList{8}, "abc\r\n\t", "abc\r\n" + Spaces(8), 1, 8},
      {"a bare line feed ends a line", TabStopList{8}, "abc\n\t", "abc\n" + Spaces(8), 1, 8},
      {"two-byte character counts 2", TabStopList{8}, "\xC4\xE4\t", "\xC4\xE4" + Spaces(6), 1, 8},
      {"NUL and control bytes count 1", TabStopList{8}, std::string("\0\x1b\t", 3),
       std::string("\0\x1b", 2) + Spaces(6), 1, 8},
      {"only byte 9 is a tab", TabStopList{8}, "\x0b\x89\t", "\x0b\x89" + Spaces(6), 1, 8},
      {"width 1 keeps the length", TabStopList{1}, "\ta\t\tb", " a  b", 3, 5},
      {"width 65535", TabStopList{65535}, "a\t", "a" + Spaces(65534), 1, 65535},
      {"width 65535 beyond the first stop", TabStopList{65535}, "\t\t", Spaces(131070), 2, 131070},
      {"list (4,2) at column 5", TabStopList{4, 2}, "12345\t", "12345" + Spaces(1), 1, 6},
      {"list (4,2) at column 6", TabStopList{4, 2}, "123456\t", "123456" + Spaces(2), 1, 8},
      {"list (4,2) tabs from 0", TabStopList{4, 2}, "\t\t\t\t", Spaces(10), 4, 10},
      {"list (3,5,1) then the last width repeats", TabStopList{3, 5, 1}, "\t\t\t\t\t", Spaces(11), 5, 11},
      {"list (2,10) past the list", TabStopList{2, 10}, "1234567890123\t", "1234567890123" + Spaces(9), 1, 22},
      {"no tabs", TabStopList{8}, "plain text\r\n", "plain text\r\n", 0, 0},
      {"empty", TabStopList{8}, "", "", 0, 0},
  };
  for (const RuleCase& c : cases) {
    SCOPED_TRACE(c.name);
    int64_t column = 0;
    uint64_t tabs = 0;
    EXPECT_EQ(c.output, ReferenceExpand(c.input, c.stops, column, tabs));
    EXPECT_EQ(c.tabs, tabs);
    EXPECT_EQ(c.column, column);
  }
}

TEST(ExpandStep, ReturnsTheRepeatCountAndTheSpace) {
  char ch = '\t';
  int64_t column = 3;
  uint64_t tabs = 7;
  EXPECT_EQ(5, ExpandStep(ch, column, tabs, TabStopList{8}));
  EXPECT_EQ(' ', ch);
  EXPECT_EQ(8, column);
  EXPECT_EQ(8u, tabs);

  ch = 'x';
  EXPECT_EQ(1, ExpandStep(ch, column, tabs, TabStopList{8}));
  EXPECT_EQ('x', ch);
  EXPECT_EQ(9, column);
}

TEST(ExpandStep, ColumnAndCountPastThirtyTwoBits) {
  struct Case {
    TabStopList stops;
    int64_t column;
    int expectedRepeat;
  };
  const Case cases[] = {
      {TabStopList{8}, (int64_t{1} << 31) + 3, 5},
      {TabStopList{8}, (int64_t{1} << 32) - 1, 1},
      {TabStopList{7}, int64_t{1} << 40, 7 - static_cast<int>((int64_t{1} << 40) % 7)},
      {TabStopList{4, 2}, (int64_t{1} << 33) + 1, 1},
      {TabStopList{65535}, int64_t{65535} * 100000, 65535},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.column);
    char ch = '\t';
    int64_t column = c.column;
    uint64_t tabs = 0xFFFFFFFFu;
    EXPECT_EQ(c.expectedRepeat, ExpandStep(ch, column, tabs, c.stops));
    EXPECT_EQ(c.column + c.expectedRepeat, column);
    EXPECT_EQ(uint64_t{1} << 32, tabs);
  }
}

TEST(TabStopList, RefusesAnEmptyListAndZeroWidths) {
  EXPECT_THROW(TabStopList(std::vector<uint16_t>{}), std::invalid_argument);
  EXPECT_THROW(TabStopList(0), std::invalid_argument);
  EXPECT_THROW((TabStopList{4, 0}), std::invalid_argument);
  const TabStopList stops{4, 2};
  EXPECT_EQ(2u, stops.GetSize());
  EXPECT_EQ(2, stops.GetLast());
}

TEST(TabWidthFromText, ReadsTheLeadingIntegerAsAtoiAndClamps) {
  const struct {
    const char* text;
    uint16_t width;
  } cases[] = {
      {"8", 8},         {"12abc", 12},       {"0", 1},        {"-4", 1},       {"abc", 1},
      {"", 1},          {" 6", 6},           {"\t\n 9x", 9},  {"+7", 7},       {"- 5", 1},
      {"--5", 1},       {"1 2", 1},          {"65535", 65535}, {"65536", 65535}, {"4000000000", 65535},
      {"99999999999999999999999", 65535},    {"-99999999999", 1}, {"007", 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.width, TabWidthFromText(c.text));
  }
}

TEST(ReadTabBoxText, OneNumberIsAWidthAsBefore) {
  for (const char* text : {"8", "12abc", "0", " 6", "-4", "", "abc", "8,", "8 ", "8 abc", "+4, 10", "4,x5",
                           "65536", "\t\n 9x"}) {
    SCOPED_TRACE(text);
    const TabBoxReading reading = ReadTabBoxText(text);
    EXPECT_FALSE(reading.IsRefused()) << reading.m_strProblem;
    EXPECT_EQ(std::vector<uint16_t>{TabWidthFromText(text)}, reading.m_Stops.GetWidths());
  }
}

TEST(ReadTabBoxText, AListGivesTheWidthsBetweenItsStops) {
  const struct {
    const char* text;
    std::vector<uint16_t> widths;
  } cases[] = {
      {"4, 10, 20", {4, 6, 10}},   {"4 10 20", {4, 6, 10}},        {"4,10", {4, 6}},
      {" 4 ,  10\t", {4, 6}},      {"1, 65535", {1, 65534}},        {"007, 8", {7, 1}},
      {"2,3,4,5", {2, 1, 1, 1}},   {"65534 65535", {65534, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const TabBoxReading reading = ReadTabBoxText(c.text);
    EXPECT_FALSE(reading.IsRefused()) << reading.m_strProblem;
    EXPECT_EQ(c.widths, reading.m_Stops.GetWidths());
  }
}

TEST(ReadTabBoxText, RefusesAListThatBreaksARule) {
  const struct {
    const char* text;
    const char* problem;
  } cases[] = {
      {"10, 4", "increase"},          {"4, 4", "increase"},           {"4, 10, 9", "increase"},
      {"0, 4", "column 1"},           {"4, 0", "column 1"},           {"4, 70000", "65535"},
      {"4, 99999999999", "65535"},    {"4, 10x", "other than"},       {"4, 10;20", "other than"},
      {"4,,10", "comma"},             {"4, 10,", "comma"},            {"4, 10, -3", "negative"},
      {"4 10 abc", "other than"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const TabBoxReading reading = ReadTabBoxText(c.text);
    ASSERT_TRUE(reading.IsRefused());
    EXPECT_NE(std::string::npos, reading.m_strProblem.find(c.problem)) << reading.m_strProblem;
  }
}

TEST(ExpandStep, LeadingTabsOnlyLeavesTabsPastTheIndentation) {
  TabStopList stops{4};
  stops.SetLeadingOnly(true);
  const std::string input = " \tx\t\r\n\t\t\ny \t";
  std::string out;
  int64_t column = 0;
  uint64_t tabs = 0;
  bool indentation = true;
  for (char byte : input) {
    char ch = byte;
    const int repeat = ExpandStep(ch, column, tabs, indentation, stops);
    out.append(static_cast<size_t>(repeat), ch);
  }
  EXPECT_EQ("    x\t\r\n        \ny \t", out);
  EXPECT_EQ(3u, tabs);
  EXPECT_FALSE(indentation);

  // Off, the same call converts every tab.
  stops.SetLeadingOnly(false);
  char ch = '\t';
  EXPECT_EQ(3, ExpandStep(ch, column = 5, tabs, indentation, stops));
  EXPECT_EQ(' ', ch);
}

TEST(TabsConvertedText, PrintsTheWholeCount) {
  EXPECT_EQ("0 tabs converted", TabsConvertedText(0));
  EXPECT_EQ("3000000000 tabs converted", TabsConvertedText(3000000000u));
}

}  // namespace
