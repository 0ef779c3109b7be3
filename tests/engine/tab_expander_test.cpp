#include "engine/tab_expander.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/engine/reference_expand.h"

namespace {

class StringSink : public ByteSink {
 public:
  void Write(const char* data, size_t size) override {
    ++m_nWrites;
    m_nLargestWrite = std::max(m_nLargestWrite, size);
    m_strData.append(data, size);
  }
  std::string m_strData;
  int m_nWrites = 0;
  size_t m_nLargestWrite = 0;
};

// Random text with a given share of tabs, carriage returns, line feeds and NULs.
std::string RandomText(std::mt19937& rng, size_t length, int tabPercent, int crPercent) {
  std::uniform_int_distribution<int> percent(0, 99);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string text(length, '\0');
  for (char& ch : text) {
    const int roll = percent(rng);
    if (roll < tabPercent) ch = '\t';
    else if (roll < tabPercent + crPercent) ch = '\r';
    else if (roll < tabPercent + crPercent + 5) ch = '\n';
    else if (roll < tabPercent + crPercent + 7) ch = '\0';
    else ch = static_cast<char>(byte(rng));
  }
  return text;
}

// Feeds text to the expander in random pieces; returns what reached the sink.
std::string ExpandInPieces(TabExpander& expander, StringSink& sink, const std::string& text, std::mt19937& rng,
                           size_t maxPiece) {
  std::uniform_int_distribution<size_t> pieceSize(0, maxPiece);
  size_t at = 0;
  while (at < text.size()) {
    const size_t n = std::min(pieceSize(rng), text.size() - at);
    expander.Expand(text.data() + at, n);
    at += n;
  }
  expander.Flush();
  return sink.m_strData;
}

TEST(TabExpander, MatchesExpandStepOnGeneratedText) {
  std::vector<TabStopList> lists;
  for (uint16_t w = 1; w <= 20; ++w) lists.emplace_back(w);
  for (uint16_t w : {32, 100, 1000, 4096, 65535}) lists.emplace_back(w);
  lists.push_back(TabStopList{4, 2});
  lists.push_back(TabStopList{3, 5, 1, 7});
  lists.push_back(TabStopList{1, 65535, 3});

  std::mt19937 rng(20240607);
  std::uniform_int_distribution<size_t> length(0, 6000);
  std::uniform_int_distribution<int> tabShare(0, 40);
  std::uniform_int_distribution<int> crShare(0, 8);
  const size_t bufferSizes[] = {1, 7, 64, 4096, TabExpander::kDefaultBufferSize};
  int round = 0;
  for (const TabStopList& stops : lists) {
    for (int i = 0; i < 12; ++i, ++round) {
      // Some rounds have no carriage return at all: one long line.
      // Wide stops make each tab thousands of spaces: keep those texts short.
      const size_t n = stops.GetLast() >= 1000 || stops.GetSize() > 2 ? length(rng) / 20 : length(rng);
      const std::string text = RandomText(rng, n, tabShare(rng), i % 3 == 0 ? 0 : crShare(rng));
      const size_t bufferSize = bufferSizes[round % 5];
      SCOPED_TRACE(testing::Message() << "round " << round << ", widths " << stops.GetSize() << " first "
                                      << stops[0] << ", buffer " << bufferSize << ", length " << text.size());
      int64_t column = 0;
      uint64_t tabs = 0;
      const std::string expected = ReferenceExpand(text, stops, column, tabs);

      StringSink sink;
      TabExpander expander(stops, sink, bufferSize);
      ASSERT_EQ(expected, ExpandInPieces(expander, sink, text, rng, i % 2 ? 50 : 5000));
      EXPECT_EQ(column, expander.GetColumn());
      EXPECT_EQ(tabs, expander.GetTabCount());
    }
  }
}

TEST(TabExpander, LongTextWithoutTabsGoesThroughWhole) {
  std::mt19937 rng(7);
  std::string text = RandomText(rng, 1 << 20, 0, 1);
  std::replace(text.begin(), text.end(), '\t', 'x');
  StringSink sink;
  TabExpander expander(TabStopList{8}, sink, 4096);
  expander.Expand(text.data(), text.size());
  expander.Flush();
  EXPECT_EQ(text, sink.m_strData);
  EXPECT_EQ(0u, expander.GetTabCount());
}

TEST(TabExpander, HandsOutputOverInBlocksOfTheBufferSize) {
  const std::string text(10000, '\t');
  StringSink sink;
  TabExpander expander(TabStopList{8}, sink, 1000);
  expander.Expand(text.data(), text.size());
  expander.Flush();
  EXPECT_EQ(std::string(80000, ' '), sink.m_strData);
  EXPECT_EQ(80, sink.m_nWrites);
  EXPECT_EQ(1000u, sink.m_nLargestWrite);
}

TEST(TabExpander, ContinuesPastThirtyTwoBitColumnsAndCounts) {
  const int64_t columns[] = {(int64_t{1} << 31) - 2, (int64_t{1} << 31) + 3, (int64_t{1} << 32) + 1,
                             int64_t{1} << 45};
  const TabStopList lists[] = {TabStopList{8}, TabStopList{7}, TabStopList{4, 2}, TabStopList{65535}};
  std::mt19937 rng(99);
  for (const TabStopList& stops : lists) {
    for (int64_t start : columns) {
      SCOPED_TRACE(testing::Message() << "column " << start << ", first width " << stops[0]);
      // A line without carriage returns, so the column stays past 2^31.
      std::string text = RandomText(rng, stops.GetLast() >= 1000 ? 300 : 3000, 20, 0);
      int64_t column = start;
      uint64_t tabs = (uint64_t{1} << 32) - 3;
      const std::string expected = ReferenceExpand(text, stops, column, tabs);

      StringSink sink;
      TabExpander expander(stops, sink, 256);
      expander.SetState(start, (uint64_t{1} << 32) - 3);
      EXPECT_EQ(expected, ExpandInPieces(expander, sink, text, rng, 100));
      EXPECT_EQ(column, expander.GetColumn());
      EXPECT_EQ(tabs, expander.GetTabCount());
      EXPECT_GT(expander.GetTabCount(), uint64_t{0xFFFFFFFF});
    }
  }
}

}  // namespace
