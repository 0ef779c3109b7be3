#pragma once
// What every expander shares with the byte rule's: the first stop beyond a
// column found by arithmetic, the bit helpers of the block scans, and the
// whole-block stores of short pieces.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/tab_stops.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Pieces of text and spaces up to kShortRun long are stored in whole blocks
// of kBlock: a buffer keeps room for 2 * kShortRun beyond its capacity.
constexpr size_t kBlock = 16;
constexpr size_t kShortRun = 4 * kBlock;
inline constexpr char kSpaces[kShortRun + 1] =
    "                                                                ";

inline void CopyBlock(char* to, const void* from) { std::memcpy(to, from, kBlock); }

// Stores a piece of text of `length` and then `spaces` blanks at `out`, each
// at most kShortRun long, as whole blocks: `run` must be readable for
// kShortRun bytes and `out` writable for 2 * kShortRun; the next piece
// overwrites the excess. Moves `out` past what it keeps.
inline void PutShortRunAndSpaces(char*& out, const void* run, size_t length, size_t spaces) {
  const char* from = static_cast<const char*>(run);
  CopyBlock(out, from);
  CopyBlock(out + kBlock, from + kBlock);
  CopyBlock(out + 2 * kBlock, from + 2 * kBlock);
  CopyBlock(out + 3 * kBlock, from + 3 * kBlock);
  out += length;
  CopyBlock(out, kSpaces);
  CopyBlock(out + kBlock, kSpaces);
  CopyBlock(out + 2 * kBlock, kSpaces);
  CopyBlock(out + 3 * kBlock, kSpaces);
  out += spaces;
}

#if defined(__SSE2__)
// The positions of one byte value in 64 bytes, as bits.
inline uint64_t Mask64(__m128i v0, __m128i v1, __m128i v2, __m128i v3, __m128i byte) {
  const uint64_t m0 = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v0, byte)));
  const uint64_t m1 = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v1, byte)));
  const uint64_t m2 = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v2, byte)));
  const uint64_t m3 = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v3, byte)));
  return m0 | (m1 << 16) | (m2 << 32) | (m3 << 48);
}
#endif

}  // namespace expander_detail

// The first stop strictly beyond a column, without walking the list.
class TabStopFinder {
 public:
  explicit TabStopFinder(const TabStopList& stops);

  int64_t NextStop(int64_t column) const {
    // One width that is a power of two (8, 4...): no branch that depends on the text.
    if (m_bOneShift) return ((column >> m_nLastShift) + 1) << m_nLastShift;
    // The columns of indentations and most lines from a table: no branch
    // that depends on where in the list the column falls.
    if (column < kTableColumns) return m_Rows[static_cast<size_t>(column)];
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

  // The stop that `row` tabs in a row (at least 1) reach from column.
  static constexpr int64_t kTableColumns = 512;
  static constexpr int64_t kTableRows = 8;
  int64_t StopAfterRow(int64_t column, int64_t row) const {
    if (m_bOneShift) return ((column >> m_nLastShift) + row) << m_nLastShift;
    return StopAfterRow(m_Rows.data(), column, row);
  }
  // The same from the table (GetRowTable, for a list that is not one
  // shift), which a hot loop keeps in a local: its stores of text may alias
  // the members.
  int64_t StopAfterRow(const int32_t* rows, int64_t column, int64_t row) const {
    if (column < kTableColumns && row <= kTableRows) return rows[(row - 1) * kTableColumns + column];
    for (int64_t k = 0; k < row; ++k) column = NextStop(column);
    return column;
  }
  const int32_t* GetRowTable() const { return m_Rows.data(); }

 private:
  int64_t WholeWidths(int64_t past) const;
  int64_t NextListedStop(int64_t column) const;
  int64_t NextListedOrLaterStop(int64_t column) const;

  std::vector<int64_t> m_Stops;  // the listed stops, running sums of the widths
  // Unless one shift: the stop that 1 to kTableRows tabs reach from each
  // column below kTableColumns, a row of the table for each count.
  std::vector<int32_t> m_Rows;
  int64_t m_nFirstStop;
  int64_t m_nListEnd;
  int64_t m_nLastWidth;
  int m_nLastShift;  // log2 of the last width when it is a power of two, else -1
  bool m_bOneShift;
};
