#pragma once
// "Leading tabs only" for the expanders: the indentation of each line is
// expanded, and the rest of the line, up to the next carriage return or line
// feed, is copied whole, found by 64-byte scans of the line ends alone.
// Past the indentation the column is not followed: nothing needs it before
// the line ends.
#include <cstddef>
#include <cstdint>

#include "engine/next_stop.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace expander_detail {

// The first carriage return or line feed in [p, end), or end.
inline const unsigned char* FindLineEnd(const unsigned char* p, const unsigned char* end) {
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  while (end - p >= 64) {
    const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
    const __m128i v3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48));
    const uint64_t ends = Mask64(v0, v1, v2, v3, cr) | Mask64(v0, v1, v2, v3, lf);
    if (ends != 0) return p + __builtin_ctzll(ends);
    p += 64;
  }
#endif
  for (; p < end; ++p)
    if (*p == '\r' || *p == '\n') return p;
  return end;
}

// The same for UTF-16 units in the given order from p, which starts a unit:
// the first unit 000D or 000A before `end` (whole units only), or `end`.
template <bool kBigEndian>
inline const unsigned char* FindLineEndUnit(const unsigned char* p, const unsigned char* end) {
#if defined(__SSE2__)
  // Loaded as little-endian 16-bit lanes, which start at p's units.
  const __m128i cr = _mm_set1_epi16(kBigEndian ? 0x0D00 : 0x000D);
  const __m128i lf = _mm_set1_epi16(kBigEndian ? 0x0A00 : 0x000A);
  auto units = [&](__m128i v) {
    return static_cast<uint64_t>(static_cast<uint32_t>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, cr), _mm_cmpeq_epi16(v, lf)))));
  };
  while (end - p >= 64) {
    const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
    const __m128i v3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48));
    const uint64_t ends = units(v0) | (units(v1) << 16) | (units(v2) << 32) | (units(v3) << 48);
    // Two bits a unit: the lower one is at the unit's first byte.
    if (ends != 0) return p + __builtin_ctzll(ends);
    p += 64;
  }
#endif
  for (; end - p >= 2; p += 2) {
    const uint32_t unit = kBigEndian ? (uint32_t{p[0]} << 8) | p[1] : (uint32_t{p[1]} << 8) | p[0];
    if (unit == '\r' || unit == '\n') return p;
  }
  return end;
}

// Where a line stands for "leading tabs only".
struct IndentState {
  int64_t column;
  uint64_t tabCount;
  bool inIndentation;
};

// Expands the bytes from p to end by "leading tabs only": `put(at, spaces)`
// writes the text from `run` up to `at` and then `spaces` blanks, and the
// text from `run` on stays to be written by the caller. With markIsBlank
// (UTF-8) the byte order mark, U+FEFF, counts as part of an indentation, as
// it stands before a text's first line; the caller gives whole characters.
template <typename Put>
void ExpandIndentations(const unsigned char* p, const unsigned char* end, const unsigned char*& run,
                        IndentState& state, const TabStopFinder& stops, bool markIsBlank, Put put) {
  int64_t column = state.column;
  uint64_t tabCount = state.tabCount;
  bool indentation = state.inIndentation;
  while (p < end) {
    if (!indentation) {
      p = FindLineEnd(p, end);
      if (p == end) break;
      ++p;
      column = 0;
      indentation = true;
      continue;
    }
    const unsigned char byte = *p;
    if (byte == ' ') {
      ++column;
      ++p;
    } else if (byte == '\t') {
      const unsigned char* q = p + 1;
      while (q < end && *q == '\t') ++q;
      const int64_t stop = stops.StopAfterRow(column, q - p);
      put(p, stop - column);
      tabCount += static_cast<uint64_t>(q - p);
      column = stop;
      run = p = q;
    } else if (byte == '\r' || byte == '\n') {
      column = 0;
      ++p;
    } else if (markIsBlank && byte == 0xEF && end - p >= 3 && p[1] == 0xBB && p[2] == 0xBF) {
      p += 3;
    } else {
      indentation = false;
      ++p;
    }
  }
  state = {column, tabCount, indentation};
}

}  // namespace expander_detail
