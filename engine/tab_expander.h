#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/next_stop.h"
#include "engine/tab_stops.h"

// Where an expander's output goes. Write may throw; the expander then stops.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(const char* data, size_t size) = 0;
};

// The expansion rule applied to a stream in bulk: gives byte for byte the
// output (and the column and count) of ExpandStep run on every byte (its
// form with the indentation for leading tabs only), but
// copies runs without tabs whole, finds the next stop by arithmetic and hands
// the output to the sink in blocks of a fixed size, so memory does not depend
// on the length of the text. Column and count are 64-bit: lines longer than
// 2^31 bytes and more than 2^31 tabs come out right.
class TabExpander {
 public:
  static constexpr size_t kDefaultBufferSize = 256 * 1024;

  TabExpander(const TabStopList& stops, ByteSink& sink, size_t bufferSize = kDefaultBufferSize);

  // Expands the next piece of the text; pieces may split it anywhere.
  void Expand(const char* data, size_t size);
  // Hands what is still buffered to the sink.
  void Flush();

  // With "leading tabs only", as ExpandStep's form with the indentation has
  // it: a tab past the indentation moves it by 1.
  int64_t GetColumn() const { return m_nColumn; }
  uint64_t GetTabCount() const { return m_nTabCount; }
  // Whether the line so far is all blanks and tabs (followed with "leading
  // tabs only" alone).
  bool IsInIndentation() const { return m_bInIndentation; }
  // Continues from a given state, as if that much text had gone before.
  void SetState(int64_t column, uint64_t tabCount, bool inIndentation = true) {
    m_nColumn = column;
    m_nTabCount = tabCount;
    m_bInIndentation = inIndentation;
  }

  // The first stop strictly beyond the column.
  int64_t NextStop(int64_t column) const { return m_Finder.NextStop(column); }

 private:
  void Put(const char* data, size_t size);
  void PutSpaces(size_t count);

  TabStopFinder m_Finder;
  ByteSink& m_Sink;
  std::vector<char> m_Buffer;  // m_nCapacity bytes, and some slack for whole-block stores
  size_t m_nCapacity;
  size_t m_nUsed = 0;
  int64_t m_nColumn = 0;
  uint64_t m_nTabCount = 0;
  bool m_bLeadingOnly;
  bool m_bInIndentation = true;
};
