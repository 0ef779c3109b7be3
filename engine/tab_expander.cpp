#include "engine/tab_expander.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

TabExpander::TabExpander(const TabStopList& stops, ByteSink& sink, size_t bufferSize)
    : m_nLastWidth(stops.GetLast()), m_nLastShift(-1), m_Sink(sink),
      m_Buffer(std::max<size_t>(bufferSize, 1)) {
  int64_t sum = 0;
  for (uint16_t w : stops.GetWidths()) m_Stops.push_back(sum += w);
  for (int shift = 0; shift < 16; ++shift)
    if (m_nLastWidth == (int64_t{1} << shift)) m_nLastShift = shift;
}

int64_t TabExpander::NextStop(int64_t column) const {
  const int64_t end = m_Stops.back();
  if (column < end) return *std::upper_bound(m_Stops.begin(), m_Stops.end(), column);
  const int64_t past = column - end;
  if (m_nLastShift >= 0) return end + ((past >> m_nLastShift) + 1) * m_nLastWidth;
  // 32-bit division where it suffices: much cheaper than 64-bit on most CPUs.
  const int64_t whole = past < 0x100000000LL
                            ? static_cast<int64_t>(static_cast<uint32_t>(past) /
                                                   static_cast<uint32_t>(m_nLastWidth))
                            : past / m_nLastWidth;
  return end + (whole + 1) * m_nLastWidth;
}

void TabExpander::Put(const char* data, size_t size) {
  if (size <= m_Buffer.size() - m_nUsed) {
    std::memcpy(m_Buffer.data() + m_nUsed, data, size);
    m_nUsed += size;
    return;
  }
  // A run at least a buffer long goes to the sink without a copy.
  if (size >= m_Buffer.size()) {
    Flush();
    m_Sink.Write(data, size);
    return;
  }
  const size_t first = m_Buffer.size() - m_nUsed;
  std::memcpy(m_Buffer.data() + m_nUsed, data, first);
  m_nUsed = m_Buffer.size();
  Flush();
  std::memcpy(m_Buffer.data(), data + first, size - first);
  m_nUsed = size - first;
}

void TabExpander::PutSpaces(size_t count) {
  while (count > 0) {
    if (m_nUsed == m_Buffer.size()) Flush();
    const size_t n = std::min(count, m_Buffer.size() - m_nUsed);
    std::memset(m_Buffer.data() + m_nUsed, ' ', n);
    m_nUsed += n;
    count -= n;
  }
}

void TabExpander::Flush() {
  if (m_nUsed == 0) return;
  // Emptied first: should the sink throw, the same bytes are not offered again.
  const size_t used = m_nUsed;
  m_nUsed = 0;
  m_Sink.Write(m_Buffer.data(), used);
}

void TabExpander::Expand(const char* data, size_t size) {
  const char* const end = data + size;
  // Bytes from run on are still to be copied. The column at a position p is
  // anchorColumn + (p - anchor): only the special bytes move the anchor (a
  // carriage return resets it, a line feed takes one back, a tab jumps).
  const char* run = data;
  const char* anchor = data;
  int64_t anchorColumn = m_nColumn;

  auto special = [&](const char* p) {
    if (*p == '\n') {
      --anchorColumn;
    } else if (*p == '\r') {
      anchor = p + 1;
      anchorColumn = 0;
    } else {
      const int64_t column = anchorColumn + (p - anchor);
      const int64_t stop = NextStop(column);
      Put(run, static_cast<size_t>(p - run));
      PutSpaces(static_cast<size_t>(stop - column));
      ++m_nTabCount;
      run = anchor = p + 1;
      anchorColumn = stop;
    }
  };

  const char* p = data;
#if defined(__SSE2__)
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  while (end - p >= 32) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const __m128i ma = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(a, tab), _mm_cmpeq_epi8(a, cr)),
                                    _mm_cmpeq_epi8(a, lf));
    const __m128i mb = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(b, tab), _mm_cmpeq_epi8(b, cr)),
                                    _mm_cmpeq_epi8(b, lf));
    uint32_t mask = static_cast<uint32_t>(_mm_movemask_epi8(ma)) |
                    (static_cast<uint32_t>(_mm_movemask_epi8(mb)) << 16);
    while (mask != 0) {
      special(p + __builtin_ctz(mask));
      mask &= mask - 1;
    }
    p += 32;
  }
#endif
  for (; p < end; ++p)
    if (*p == '\t' || *p == '\r' || *p == '\n') special(p);

  Put(run, static_cast<size_t>(end - run));
  m_nColumn = anchorColumn + (end - anchor);
}
