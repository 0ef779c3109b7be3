#include "engine/expander_parts.h"

#include <algorithm>
#include <cstring>

TabStopFinder::TabStopFinder(const TabStopList& stops) : m_nLastWidth(stops.GetLast()), m_nLastShift(-1) {
  int64_t sum = 0;
  for (uint16_t w : stops.GetWidths()) m_Stops.push_back(sum += w);
  m_nFirstStop = m_Stops.front();
  m_nListEnd = m_Stops.back();
  for (int shift = 0; shift < 16; ++shift)
    if (m_nLastWidth == (int64_t{1} << shift)) m_nLastShift = shift;
  m_bOneShift = m_Stops.size() == 1 && m_nLastShift >= 0;
  if (m_bOneShift) return;
  // Below 512 + 8 * 65535 columns: within 32 bits.
  // The first row found at the stops alone; each later row from the one
  // before through the first (a run of many small files builds it often).
  m_Rows.resize(static_cast<size_t>(kTableRows * kTableColumns));
  int64_t stop = 0;
  for (int64_t column = 0; column < kTableColumns; ++column) {
    if (column >= stop) stop = column < m_nFirstStop ? m_nFirstStop : NextListedOrLaterStop(column);
    m_Rows[static_cast<size_t>(column)] = static_cast<int32_t>(stop);
  }
  for (size_t i = static_cast<size_t>(kTableColumns); i < m_Rows.size(); ++i) {
    const int64_t before = m_Rows[i - static_cast<size_t>(kTableColumns)];
    m_Rows[i] = static_cast<int32_t>(before < kTableColumns ? m_Rows[static_cast<size_t>(before)]
                                                            : NextListedOrLaterStop(before));
  }
}

int64_t TabStopFinder::NextListedOrLaterStop(int64_t column) const {
  if (column >= m_nListEnd) return m_nListEnd + (WholeWidths(column - m_nListEnd) + 1) * m_nLastWidth;
  return NextListedStop(column);
}

int64_t TabStopFinder::WholeWidths(int64_t past) const {
  // 32-bit division where it suffices: much cheaper than 64-bit on most CPUs.
  if (past < 0x100000000LL) return static_cast<uint32_t>(past) / static_cast<uint32_t>(m_nLastWidth);
  return past / m_nLastWidth;
}

int64_t TabStopFinder::NextListedStop(int64_t column) const {
  return *std::upper_bound(m_Stops.begin(), m_Stops.end(), column);
}

OutputBlocks::OutputBlocks(ByteSink& sink, size_t capacity)
    : m_Sink(sink), m_Buffer(std::max<size_t>(capacity, 2) + kSlack), m_nCapacity(std::max<size_t>(capacity, 2)),
      m_nLimit(m_nCapacity) {}

void OutputBlocks::AlignAfter(uint64_t before) {
  if (m_nUsed != 0) return;
  const size_t into = static_cast<size_t>(before % m_nCapacity);
  // A block of at least two bytes, as PutUnits needs room for one unit.
  m_nLimit = m_nCapacity - into >= 2 ? m_nCapacity - into : m_nCapacity;
}

void OutputBlocks::Put(const char* data, size_t size) {
  if (size <= m_nLimit - m_nUsed) {
    std::memcpy(m_Buffer.data() + m_nUsed, data, size);
    m_nUsed += size;
    return;
  }
  // A run at least a buffer long goes to the sink without a copy.
  if (size >= m_nCapacity) {
    Flush();
    m_Sink.Write(data, size);
    return;
  }
  const size_t first = m_nLimit - m_nUsed;
  std::memcpy(m_Buffer.data() + m_nUsed, data, first);
  m_nUsed = m_nLimit;
  Flush();
  std::memcpy(m_Buffer.data(), data + first, size - first);
  m_nUsed = size - first;
}

void OutputBlocks::PutUnits(const char* unit, size_t unitSize, uint64_t count) {
  while (count > 0) {
    if (m_nLimit - m_nUsed < unitSize) Flush();
    const uint64_t room = (m_nLimit - m_nUsed) / unitSize;
    const size_t n = static_cast<size_t>(std::min(count, room));
    char* out = m_Buffer.data() + m_nUsed;
    if (unitSize == 1) {
      std::memset(out, unit[0], n);
    } else {
      for (size_t i = 0; i < n; ++i) std::memcpy(out + 2 * i, unit, 2);
    }
    m_nUsed += n * unitSize;
    count -= n;
  }
}

void OutputBlocks::Flush() {
  m_nLimit = m_nCapacity;
  if (m_nUsed == 0) return;
  // Emptied first: should the sink throw, the same bytes are not offered again.
  const size_t used = m_nUsed;
  m_nUsed = 0;
  m_Sink.Write(m_Buffer.data(), used);
}
