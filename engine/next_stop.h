#pragma once
// What every expander shares with the byte rule's: the first stop beyond a
// column found by arithmetic, and the bit helpers of the block scans.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/tab_stops.h"

namespace expander_detail {

// The bits below bit n, for n from 0 up (all of them from 64 on).
inline uint64_t LowBits(int n) { return n >= 64 ? ~uint64_t{0} : (uint64_t{1} << n) - 1; }

// Set bits of a mask; the popcnt instruction is not part of the x86-64 baseline.
inline int64_t PopCount(uint64_t x) {
  x -= (x >> 1) & 0x5555555555555555ULL;
  x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
  return static_cast<int64_t>((x * 0x0101010101010101ULL) >> 56);
}

}  // namespace expander_detail

// The first stop strictly beyond a column, without walking the list.
class TabStopFinder {
 public:
  explicit TabStopFinder(const TabStopList& stops);

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
  // The list is one width, a power of two: the stop is ((column >> shift) + 1) << shift.
  bool IsOneShift() const { return m_bOneShift; }
  int GetShift() const { return m_nLastShift; }

 private:
  int64_t WholeWidths(int64_t past) const;
  int64_t NextListedStop(int64_t column) const;

  std::vector<int64_t> m_Stops;  // the listed stops, running sums of the widths
  int64_t m_nFirstStop;
  int64_t m_nListEnd;
  int64_t m_nLastWidth;
  int m_nLastShift;  // log2 of the last width when it is a power of two, else -1
  bool m_bOneShift;
};
