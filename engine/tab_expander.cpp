#include "engine/tab_expander.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

using expander_detail::CopyBlock;
using expander_detail::kBlock;
using expander_detail::kShortRun;
using expander_detail::kSpaces;
using expander_detail::PutShortRunAndSpaces;
// The hot path's whole-block stores go up to this far past what it keeps;
// the buffer has room for that beyond its capacity.
constexpr size_t kSlack = 2 * kShortRun;

using expander_detail::LowBits;
#if defined(__SSE2__)
using expander_detail::Mask64;
#endif


}  // namespace

TabExpander::TabExpander(const TabStopList& stops, ByteSink& sink, size_t bufferSize)
    : m_Finder(stops), m_Sink(sink), m_Buffer(std::max<size_t>(bufferSize, 1) + kSlack),
      m_nCapacity(std::max<size_t>(bufferSize, 1)), m_bLeadingOnly(stops.IsLeadingOnly()) {}

void TabExpander::Put(const char* data, size_t size) {
  if (size <= m_nCapacity - m_nUsed) {
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
  const size_t first = m_nCapacity - m_nUsed;
  std::memcpy(m_Buffer.data() + m_nUsed, data, first);
  m_nUsed = m_nCapacity;
  Flush();
  std::memcpy(m_Buffer.data(), data + first, size - first);
  m_nUsed = size - first;
}

void TabExpander::PutSpaces(size_t count) {
  while (count > 0) {
    if (m_nUsed == m_nCapacity) Flush();
    const size_t n = std::min(count, m_nCapacity - m_nUsed);
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
  // carriage return or a line feed ends a line and resets it, a tab jumps).
  const char* run = data;
  const char* anchor = data;
  int64_t anchorColumn = m_nColumn;
  // Locals, not members, in the loop: stores through char pointers could
  // alias the members and force reloads.
  char* const buffer = m_Buffer.data();
  char* const limit = buffer + m_nCapacity;
  char* out = buffer + m_nUsed;
  uint64_t tabCount = m_nTabCount;
  // With leading tabs only, the tabs past a line's indentation are copied as
  // any other byte; `indentation` says whether the line at p is all blanks
  // and tabs so far.
  const bool leadingOnly = m_bLeadingOnly;
  bool indentation = m_bInIndentation;

  auto onTab = [&](const char* p) {
    const int64_t column = anchorColumn + (p - anchor);
    const int64_t stop = NextStop(column);
    const size_t length = static_cast<size_t>(p - run);
    const size_t spaces = static_cast<size_t>(stop - column);
    if (length <= 2 * kBlock && spaces <= kBlock && end - run >= static_cast<ptrdiff_t>(2 * kBlock) &&
        static_cast<size_t>(limit - out) >= length + spaces) {
      // Short pieces as whole blocks: the reads stay inside the text, the
      // stores inside the buffer's slack, and the next piece overwrites the excess.
      CopyBlock(out, run);
      CopyBlock(out + kBlock, run + kBlock);
      out += length;
      CopyBlock(out, kSpaces);
      out += spaces;
    } else {
      m_nUsed = static_cast<size_t>(out - buffer);
      Put(run, length);
      PutSpaces(spaces);
      out = buffer + m_nUsed;
    }
    ++tabCount;
    run = anchor = p + 1;
    anchorColumn = stop;
  };

  const char* p = data;
#if defined(__SSE2__)
  // Sixty-four bytes at a time: masks of the tabs and of the line ends
  // (carriage returns and line feeds); only the tabs are visited one by one.
  // The column at a tab comes from the last line end before it, or from the
  // previous anchor.
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i space = _mm_set1_epi8(' ');
  const bool oneShift = m_Finder.IsOneShift();
  const int shift = m_Finder.GetShift();
  const int32_t* const rows = m_Finder.GetRowTable();
  while (end - p >= 64) {
    const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
    const __m128i v3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48));
    uint64_t tabs = Mask64(v0, v1, v2, v3, tab);
    const uint64_t ends = Mask64(v0, v1, v2, v3, cr) | Mask64(v0, v1, v2, v3, lf);
    if (leadingOnly) {
      // The indentations: the runs of blanks and tabs from a line's start
      // (after a line end, or the block's start inside an indentation). A
      // start bit added to its run carries through it and clears it.
      const uint64_t blanks = tabs | Mask64(v0, v1, v2, v3, space);
      const uint64_t starts = ((ends << 1) | static_cast<uint64_t>(indentation)) & blanks;
      const uint64_t indented = ((blanks + starts) ^ blanks) & blanks;
      tabs &= indented;
      indentation = ((ends | indented) >> 63) != 0;
    }
    const uint64_t allTabs = tabs;
    // Bits below `from` are accounted for in anchor and anchorColumn.
    int from = 0;
    while (tabs != 0) {
      const int i = __builtin_ctzll(tabs);
      // Tabs in a row (an indentation) are taken together.
      const uint64_t after = ~(allTabs >> i);
      const int row = after != 0 ? __builtin_ctzll(after) : 64;
      tabs &= ~(LowBits(row) << i);
      const char* at = p + i;
      const uint64_t range = LowBits(i) & ~LowBits(from);
      const uint64_t returns = ends & range;
      // Arithmetic, not branches, on whether a line began since the last
      // tab: that changes from tab to tab and would cost mispredictions.
      const int last = 63 - __builtin_clzll(returns | 1);  // the last line end, if any
      const uint64_t hasReturn = returns != 0;
      const int64_t column =
          (anchorColumn & (static_cast<int64_t>(hasReturn) - 1)) + (at - (hasReturn ? p + last + 1 : anchor));
      int64_t stop;
      if (oneShift) stop = ((column >> shift) + row) << shift;
      else stop = m_Finder.StopAfterRow(rows, column, row);
      const size_t length = static_cast<size_t>(at - run);
      const size_t spaces = static_cast<size_t>(stop - column);
      if (length <= kShortRun && spaces <= kShortRun && end - run >= static_cast<ptrdiff_t>(kShortRun) &&
          static_cast<size_t>(limit - out) >= length + spaces) {
        // Whole blocks: the reads stay inside the text, the stores inside
        // the buffer's slack.
        PutShortRunAndSpaces(out, run, length, spaces);
      } else {
        m_nUsed = static_cast<size_t>(out - buffer);
        Put(run, length);
        PutSpaces(spaces);
        out = buffer + m_nUsed;
      }
      tabCount += static_cast<uint64_t>(row);
      run = anchor = at + row;
      anchorColumn = stop;
      from = i + row;
    }
    // The rest of the block after the last tab.
    const uint64_t range = ~LowBits(from);
    const uint64_t returns = ends & range;
    if (returns != 0) {
      const int last = 63 - __builtin_clzll(returns);
      anchor = p + last + 1;
      anchorColumn = 0;
    }
    p += 64;
  }
#endif
  for (; p < end; ++p) {
    if (*p == '\t') {
      if (!leadingOnly || indentation) onTab(p);
    } else if (*p == '\r' || *p == '\n') {
      anchor = p + 1;
      anchorColumn = 0;
      indentation = true;
    } else if (*p != ' ') {
      indentation = false;
    }
  }
  m_bInIndentation = indentation;

  m_nUsed = static_cast<size_t>(out - buffer);
  m_nTabCount = tabCount;
  Put(run, static_cast<size_t>(end - run));
  m_nColumn = anchorColumn + (end - anchor);
}
