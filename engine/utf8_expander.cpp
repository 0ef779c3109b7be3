#include <cstring>

#include "engine/char_width.h"
#include "engine/unicode_expanders.h"
#include "engine/utf8.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using expander_detail::LowBits;
using expander_detail::PopCount;

namespace {

// Pieces of text and spaces up to this long are stored in whole blocks of 16.
constexpr size_t kBlock = 16;
constexpr size_t kShortRun = 4 * kBlock;
static_assert(OutputBlocks::kSlack >= 2 * kShortRun, "whole-block stores stay inside the slack");
const char kSpaces[kShortRun + 1] = "                                                                ";

inline void CopyBlock(char* to, const void* from) { std::memcpy(to, from, kBlock); }

// Whether byte may follow the k bytes of a character begun in `start`.
bool Continues(const unsigned char* start, size_t k, unsigned char byte) {
  if (k == 1) {
    unsigned char low, high;
    Utf8SecondByteRange(start[0], low, high);
    return byte >= low && byte <= high;
  }
  return (byte & 0xC0) == 0x80;
}

// How many bytes at the end are the valid start of a character that the
// piece cut short (0 to 3).
size_t CutCharacter(const unsigned char* begin, const unsigned char* end) {
  for (size_t k = 1; k <= 3 && k <= static_cast<size_t>(end - begin); ++k) {
    const unsigned char* start = end - k;
    if ((*start & 0xC0) == 0x80) continue;
    if (static_cast<size_t>(Utf8Length(*start)) <= k) return 0;
    return k == 1 || Continues(start, 1, start[1]) ? k : 0;
  }
  return 0;
}

#if defined(__SSE2__)
inline uint64_t Mask64(__m128i v0, __m128i v1, __m128i v2, __m128i v3, __m128i byte) {
  const uint64_t m0 = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v0, byte)));
  const uint64_t m1 = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v1, byte)));
  const uint64_t m2 = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v2, byte)));
  const uint64_t m3 = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v3, byte)));
  return m0 | (m1 << 16) | (m2 << 32) | (m3 << 48);
}

// The bytes from 0x80 up.
inline uint64_t HighMask64(__m128i v0, __m128i v1, __m128i v2, __m128i v3) {
  return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(v0))) |
         (static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(v1))) << 16) |
         (static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(v2))) << 32) |
         (static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(v3))) << 48);
}
#endif

}  // namespace

Utf8Expander::Utf8Expander(const TabStopList& stops, ByteSink& sink, size_t bufferSize)
    : m_Stops(stops), m_Output(sink, bufferSize) {}

void Utf8Expander::Expand(const char* data, size_t size) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
  const unsigned char* const end = p + size;
  if (m_nCarried > 0) {
    // Complete the character that the last piece cut, or find it invalid.
    const size_t length = static_cast<size_t>(Utf8Length(m_Carry[0]));
    while (m_nCarried < length && p < end && Continues(m_Carry, m_nCarried, *p)) m_Carry[m_nCarried++] = *p++;
    if (m_nCarried < length && p == end) return;
    const size_t carried = m_nCarried;
    m_nCarried = 0;
    ExpandWhole(m_Carry, m_Carry + carried);
  }
  const size_t cut = CutCharacter(p, end);
  ExpandWhole(p, end - cut);
  std::memcpy(m_Carry, end - cut, cut);
  m_nCarried = cut;
}

void Utf8Expander::Finish() {
  if (m_nCarried > 0) {
    const size_t carried = m_nCarried;
    m_nCarried = 0;
    ExpandWhole(m_Carry, m_Carry + carried);
  }
  m_Output.Flush();
}

void Utf8Expander::ExpandWhole(const unsigned char* data, const unsigned char* end) {
  // As in TabExpander: bytes from run on are still to be copied, and the
  // column at a position q is anchorColumn + (q - anchor) less the line
  // feeds in between. A multi-byte character adds its width less its length.
  const unsigned char* run = data;
  const unsigned char* anchor = data;
  int64_t anchorColumn = m_nColumn;
  char* const buffer = m_Output.Begin();
  char* const limit = m_Output.Limit();
  char* out = buffer + m_Output.m_nUsed;
  uint64_t tabCount = m_nTabCount;

  // Writes the text before a tab at `at` and the spaces to `stop`.
  auto putRunAndSpaces = [&](const unsigned char* at, int64_t spaces64) {
    const size_t length = static_cast<size_t>(at - run);
    const size_t spaces = static_cast<size_t>(spaces64);
    if (length <= kShortRun && spaces <= kShortRun && end - run >= static_cast<ptrdiff_t>(kShortRun) &&
        static_cast<size_t>(limit - out) >= length + spaces) {
      // Whole blocks: the reads stay inside the text, the stores inside
      // the buffer's slack, and the next piece overwrites the excess.
      CopyBlock(out, run);
      CopyBlock(out + kBlock, run + kBlock);
      CopyBlock(out + 2 * kBlock, run + 2 * kBlock);
      CopyBlock(out + 3 * kBlock, run + 3 * kBlock);
      out += length;
      CopyBlock(out, kSpaces);
      CopyBlock(out + kBlock, kSpaces);
      CopyBlock(out + 2 * kBlock, kSpaces);
      CopyBlock(out + 3 * kBlock, kSpaces);
      out += spaces;
    } else {
      m_Output.m_nUsed = static_cast<size_t>(out - buffer);
      m_Output.Put(reinterpret_cast<const char*>(run), length);
      m_Output.PutUnits(" ", 1, static_cast<uint64_t>(spaces64));
      out = buffer + m_Output.m_nUsed;
    }
  };

  const unsigned char* p = data;
#if defined(__SSE2__)
  // Sixty-four bytes at a time: masks of the tabs, carriage returns, line
  // feeds and bytes from 0x80 up. Only tabs and the lead bytes of multi-byte
  // characters are visited one by one; a character's continuation bytes are
  // skipped with it, and a byte that starts no valid character counts one
  // like an ASCII byte.
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  const bool oneShift = m_Stops.IsOneShift();
  const int shift = m_Stops.GetShift();
  // Bits below `from` are accounted for in anchor and anchorColumn; a
  // character at a block's end carries it into the next block.
  int from = 0;
  while (end - p >= 64) {
    const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
    const __m128i v3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48));
    const uint64_t allTabs = Mask64(v0, v1, v2, v3, tab);
    const uint64_t crs = Mask64(v0, v1, v2, v3, cr);
    const uint64_t lfs = Mask64(v0, v1, v2, v3, lf);
    uint64_t events = (allTabs | HighMask64(v0, v1, v2, v3)) & ~LowBits(from);
    // The column at bit i, from the last carriage return before it (or the
    // anchor) and the line feeds in between; arithmetic, not branches, on
    // whether a line began, which changes from one event to the next.
    auto columnAt = [&](int i) {
      const uint64_t range = LowBits(i) & ~LowBits(from);
      const uint64_t returns = crs & range;
      const int last = 63 - __builtin_clzll(returns | 1);
      const uint64_t hasReturn = returns != 0;
      const uint64_t since = range & ~(LowBits(last + 1) & -hasReturn);
      return (anchorColumn & (static_cast<int64_t>(hasReturn) - 1)) +
             (p + i - (hasReturn ? p + last + 1 : anchor)) - PopCount(lfs & since);
    };
    while (events != 0) {
      const int i = __builtin_ctzll(events);
      if ((allTabs >> i) & 1) {
        // Tabs in a row (an indentation) are taken together.
        const uint64_t after = ~(allTabs >> i);
        const int row = after != 0 ? __builtin_ctzll(after) : 64;
        const int64_t column = columnAt(i);
        int64_t stop;
        if (oneShift) {
          stop = ((column >> shift) + row) << shift;
        } else {
          stop = column;
          for (int k = 0; k < row; ++k) stop = m_Stops.NextStop(stop);
        }
        putRunAndSpaces(p + i, stop - column);
        tabCount += static_cast<uint64_t>(row);
        run = anchor = p + i + row;
        anchorColumn = stop;
        from = i + row;
        events &= ~LowBits(from);
        continue;
      }
      char32_t ch;
      const int length = DecodeUtf8(p + i, end, ch);
      if (length == 0) {
        // A byte that starts no character: one column, as any byte.
        events &= events - 1;
        continue;
      }
      anchorColumn = columnAt(i) + CharWidth(ch);
      anchor = p + i + length;
      from = i + length;
      events &= ~LowBits(from);
    }
    // The rest of the block after the last event.
    const uint64_t range = ~LowBits(from);
    const uint64_t returns = crs & range;
    if (returns != 0) {
      const int last = 63 - __builtin_clzll(returns);
      anchor = p + last + 1;
      anchorColumn = -PopCount(lfs & ~LowBits(last + 1));
    } else {
      anchorColumn -= PopCount(lfs & range);
    }
    from = from > 64 ? from - 64 : 0;
    p += 64;
  }
  // The continuation bytes of a character that the last block began.
  p += from;
#endif
  for (; p < end; ++p) {
    const unsigned char byte = *p;
    if (byte == '\t') {
      const int64_t column = anchorColumn + (p - anchor);
      const int64_t stop = m_Stops.NextStop(column);
      putRunAndSpaces(p, stop - column);
      ++tabCount;
      run = anchor = p + 1;
      anchorColumn = stop;
    } else if (byte == '\r') {
      anchor = p + 1;
      anchorColumn = 0;
    } else if (byte == '\n') {
      --anchorColumn;
    } else if (byte >= 0x80) {
      char32_t ch;
      const int length = DecodeUtf8(p, end, ch);
      if (length > 0) {
        anchorColumn += CharWidth(ch) - length;
        p += length - 1;
      }
    }
  }

  m_Output.m_nUsed = static_cast<size_t>(out - buffer);
  m_nTabCount = tabCount;
  m_Output.Put(reinterpret_cast<const char*>(run), static_cast<size_t>(end - run));
  m_nColumn = anchorColumn + (end - anchor);
}
