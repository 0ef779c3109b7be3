#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/tab_stops.h"

// Where an expander's output goes. Write may throw; the expander then stops.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(const char* data, size_t size) = 0;
};

// The expansion rule applied to a stream in bulk: gives byte for byte the
// output (and the column and count) of ExpandStep run on every byte, but
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

  int64_t GetColumn() const { return m_nColumn; }
  uint64_t GetTabCount() const { return m_nTabCount; }
  // Continues from a given state, as if that much text had gone before.
  void SetState(int64_t column, uint64_t tabCount) {
    m_nColumn = column;
    m_nTabCount = tabCount;
  }

  // The first stop strictly beyond the column.
  int64_t NextStop(int64_t column) const {
    // One width that is a power of two (8, 4...): no branch that depends on the text.
    if (m_bOneShift) return ((column >> m_nLastShift) + 1) << m_nLastShift;
    if (column < m_nFirstStop) return m_nFirstStop;
    if (column >= m_nListEnd) {
      const int64_t past = column - m_nListEnd;
      if (m_nLastShift >= 0) return m_nListEnd + (((past >> m_nLastShift) + 1) << m_nLastShift);
      return m_nListEnd + (WholeWidths(past) + 1) * m_nLastWidth;
    }
    return NextListedStop(column);
  }

 private:
  int64_t WholeWidths(int64_t past) const;
  int64_t NextListedStop(int64_t column) const;
  void Put(const char* data, size_t size);
  void PutSpaces(size_t count);

  std::vector<int64_t> m_Stops;  // the listed stops, running sums of the widths
  int64_t m_nFirstStop;
  int64_t m_nListEnd;
  int64_t m_nLastWidth;
  int m_nLastShift;  // log2 of the last width when it is a power of two, else -1
  bool m_bOneShift;  // the list is one width, a power of two
  ByteSink& m_Sink;
  std::vector<char> m_Buffer;  // m_nCapacity bytes, and some slack for whole-block stores
  size_t m_nCapacity;
  size_t m_nUsed = 0;
  int64_t m_nColumn = 0;
  uint64_t m_nTabCount = 0;
};
