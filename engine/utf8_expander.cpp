#include <cstring>

#include "engine/char_width.h"
#include "engine/leading_tabs.h"
#include "engine/unicode_expanders.h"
#include "engine/utf8.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using expander_detail::LowBits;
using expander_detail::PopCount;

namespace {

using expander_detail::kShortRun;
using expander_detail::PutShortRunAndSpaces;
static_assert(OutputBlocks::kSlack >= 2 * kShortRun, "whole-block stores stay inside the slack");

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
using expander_detail::Mask64;

inline uint64_t Bits64(__m128i m0, __m128i m1, __m128i m2, __m128i m3) {
  return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(m0))) |
         (static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(m1))) << 16) |
         (static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(m2))) << 32) |
         (static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(m3))) << 48);
}

// The bytes from 0x80 up.
inline uint64_t HighMask64(__m128i v0, __m128i v1, __m128i v2, __m128i v3) { return Bits64(v0, v1, v2, v3); }

// Continuation bytes, 80 to BF (below -64 as signed bytes).
inline uint64_t ContinuationMask64(__m128i v0, __m128i v1, __m128i v2, __m128i v3) {
  const __m128i c0 = _mm_set1_epi8(static_cast<char>(0xC0));
  return Bits64(_mm_cmplt_epi8(v0, c0), _mm_cmplt_epi8(v1, c0), _mm_cmplt_epi8(v2, c0), _mm_cmplt_epi8(v3, c0));
}

// The bytes from lo to hi (both from 0x80 up), by signed comparisons.
inline __m128i InRange(__m128i v, unsigned char lo, unsigned char hi) {
  return _mm_andnot_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(hi))),
                          _mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(lo - 1))));
}

// Lead bytes C2 to CB: characters U+0080 to U+02FF, two bytes and one column
// each (the combining marks begin at U+0300), with any continuation byte.
inline __m128i SimpleLeads(__m128i v) { return InRange(v, 0xC2, 0xCB); }
inline uint64_t SimpleLeadMask64(__m128i v0, __m128i v1, __m128i v2, __m128i v3) {
  return Bits64(SimpleLeads(v0), SimpleLeads(v1), SimpleLeads(v2), SimpleLeads(v3));
}

// Lead bytes E4 to E9, EB and EC: the ideographs U+4000 to U+9FFF and the
// Hangul syllables U+B000 to U+CFFF, all two columns wide, with any two
// continuation bytes.
inline __m128i IdeographLeads(__m128i v) { return _mm_or_si128(InRange(v, 0xE4, 0xE9), InRange(v, 0xEB, 0xEC)); }
inline uint64_t IdeographLeadMask64(__m128i v0, __m128i v1, __m128i v2, __m128i v3) {
  return Bits64(IdeographLeads(v0), IdeographLeads(v1), IdeographLeads(v2), IdeographLeads(v3));
}

// Whether the `count` bytes from p on are continuation bytes inside the text.
bool Continue(const unsigned char* p, const unsigned char* end, int count) {
  if (end - p < count) return false;
  for (int k = 0; k < count; ++k)
    if ((p[k] & 0xC0) != 0x80) return false;
  return true;
}
#endif

// Writes the text from `run` to a tab at `at` and `spaces64` spaces, whole
// blocks at a time where both are short (the reads stay inside the text, the
// stores inside the buffer's slack), else through the output's own calls;
// `out` and `limit` follow the output.
inline void PutRunAndSpaces(OutputBlocks& output, char* buffer, char*& out, char*& limit, const unsigned char* run,
                            const unsigned char* at, const unsigned char* end, int64_t spaces64) {
  const size_t length = static_cast<size_t>(at - run);
  const size_t spaces = static_cast<size_t>(spaces64);
  if (length <= kShortRun && spaces <= kShortRun && end - run >= static_cast<ptrdiff_t>(kShortRun) &&
      static_cast<size_t>(limit - out) >= length + spaces) {
    PutShortRunAndSpaces(out, run, length, spaces);
  } else {
    output.m_nUsed = static_cast<size_t>(out - buffer);
    output.Put(reinterpret_cast<const char*>(run), length);
    output.PutUnits(" ", 1, static_cast<uint64_t>(spaces64));
    out = buffer + output.m_nUsed;
    limit = output.Limit();
  }
}

}  // namespace

Utf8Expander::Utf8Expander(const TabStopList& stops, ByteSink& sink, size_t bufferSize)
    : m_Stops(stops), m_Output(sink, bufferSize), m_bLeadingOnly(stops.IsLeadingOnly()) {}

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

void Utf8Expander::ExpandWholeLeading(const unsigned char* data, const unsigned char* end) {
  const unsigned char* run = data;
  char* const buffer = m_Output.Begin();
  char* limit = m_Output.Limit();
  char* out = buffer + m_Output.m_nUsed;
  expander_detail::IndentState state = {m_nColumn, m_nTabCount, m_bInIndentation};
  expander_detail::ExpandIndentations(data, end, run, state, m_Stops, true, [&](const unsigned char* at, int64_t spaces) {
    PutRunAndSpaces(m_Output, buffer, out, limit, run, at, end, spaces);
  });
  m_Output.m_nUsed = static_cast<size_t>(out - buffer);
  m_Output.Put(reinterpret_cast<const char*>(run), static_cast<size_t>(end - run));
  m_nColumn = state.column;
  m_nTabCount = state.tabCount;
  m_bInIndentation = state.inIndentation;
}

void Utf8Expander::ExpandWhole(const unsigned char* data, const unsigned char* end) {
  if (m_bLeadingOnly) {
    ExpandWholeLeading(data, end);
    return;
  }
  // As in TabExpander: bytes from run on are still to be copied, and the
  // column at a position q is anchorColumn + (q - anchor) in a line; a
  // carriage return or a line feed ends the line. A multi-byte character
  // adds its width less its length.
  const unsigned char* run = data;
  const unsigned char* anchor = data;
  int64_t anchorColumn = m_nColumn;
  char* const buffer = m_Output.Begin();
  char* limit = m_Output.Limit();
  char* out = buffer + m_Output.m_nUsed;
  uint64_t tabCount = m_nTabCount;
  bool valid = true;

  // Writes the text before a tab at `at` and the spaces to `stop`.
  auto putRunAndSpaces = [&](const unsigned char* at, int64_t spaces) {
    PutRunAndSpaces(m_Output, buffer, out, limit, run, at, end, spaces);
  };

  const unsigned char* p = data;
#if defined(__SSE2__)
  // Sixty-four bytes at a time, with masks of the tabs, the line ends
  // (carriage returns and line feeds) and bytes from 0x80 up. A block of
  // ASCII, or of valid UTF-8 whose continuation bytes lie where its lead
  // bytes say, goes the fast way: continuation bytes are subtracted from the
  // column by popcount, and besides the tabs only the lead bytes of
  // characters not one column wide are visited one by one. Other blocks (invalid bytes,
  // possible after a mark) visit every byte from 0x80 up.
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  const bool oneShift = m_Stops.IsOneShift();
  const int shift = m_Stops.GetShift();
  const int32_t* const rows = m_Stops.GetRowTable();
  // Bits below `from` are accounted for in anchor and anchorColumn; the
  // continuation bytes of a character that a block's end cuts carry it
  // into the next block.
  int from = 0;
  while (end - p >= 64) {
    const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
    const __m128i v3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48));
    const uint64_t allTabs = Mask64(v0, v1, v2, v3, tab);
    const uint64_t ends = Mask64(v0, v1, v2, v3, cr) | Mask64(v0, v1, v2, v3, lf);
    const uint64_t high = HighMask64(v0, v1, v2, v3);
    // The column at bit i, from the last line end before it (or the
    // anchor) less the bytes of `skip` in between; arithmetic, not
    // branches, on whether a line began, which changes from one event to
    // the next.
    auto columnAt = [&](int i, uint64_t skip) {
      const uint64_t range = LowBits(i) & ~LowBits(from);
      const uint64_t returns = ends & range;
      const int last = 63 - __builtin_clzll(returns | 1);
      const uint64_t hasReturn = returns != 0;
      const uint64_t since = range & ~(LowBits(last + 1) & -hasReturn);
      return (anchorColumn & (static_cast<int64_t>(hasReturn) - 1)) +
             (p + i - (hasReturn ? p + last + 1 : anchor)) - PopCount(skip & since);
    };
    // Tabs in a row (an indentation) at bit i, taken together.
    auto onTabs = [&](int i, uint64_t skip) {
      const uint64_t after = ~(allTabs >> i);
      const int row = after != 0 ? __builtin_ctzll(after) : 64;
      const int64_t column = columnAt(i, skip);
      int64_t stop;
      if (oneShift) stop = ((column >> shift) + row) << shift;
      else stop = m_Stops.StopAfterRow(rows, column, row);
      putRunAndSpaces(p + i, stop - column);
      tabCount += static_cast<uint64_t>(row);
      run = anchor = p + i + row;
      anchorColumn = stop;
      from = i + row;
    };
    // The rest of the block after the last event.
    auto toBlockEnd = [&](uint64_t skip) {
      const uint64_t range = ~LowBits(from);
      const uint64_t returns = ends & range;
      if (returns != 0) {
        const int last = 63 - __builtin_clzll(returns);
        anchor = p + last + 1;
        anchorColumn = -PopCount(skip & ~LowBits(last + 1));
      } else {
        anchorColumn -= PopCount(skip & range);
      }
    };

    uint64_t skip = 0;    // bytes that take no column (continuations, below)
    uint64_t wide = 0;    // lead bytes of characters two columns wide
    int carried = 0;      // continuation bytes beyond the block
    bool fast = true;
    if (high != 0) {
      const uint64_t continuations = ContinuationMask64(v0, v1, v2, v3);
      const uint64_t simple = SimpleLeadMask64(v0, v1, v2, v3);
      // Where continuation bytes must lie: after the simple leads, after the
      // other leads as far as their characters reach, and those of a
      // character that the last block began.
      uint64_t expected = LowBits(from) | (simple << 1);
      uint64_t beyond = simple >> 63;
      uint64_t zero = 0;  // lead bytes of characters that take no column
      uint64_t invalid = 0;
      uint64_t visits = high & ~continuations & ~simple;
      if (visits != 0) {
        // Ideographs and Hangul syllables: three bytes, two columns, by masks too.
        const uint64_t ideographs = visits & IdeographLeadMask64(v0, v1, v2, v3);
        expected |= (ideographs << 1) | (ideographs << 2);
        beyond |= (ideographs >> 62) | (ideographs >> 63);
        wide |= ideographs;
        visits &= ~ideographs;
      }
      for (; visits != 0; visits &= visits - 1) {
        const int i = __builtin_ctzll(visits);
        const unsigned char* q = p + i;
        // The continuation bytes themselves are checked by the masks;
        // here the code point, and whether the form is allowed.
        char32_t ch;
        int length;
        if (q[0] < 0xE0) {
          if (end - q < 2) {
            invalid = 1;
            break;
          }
          length = 2;
          ch = (char32_t{q[0] & 0x1Fu} << 6) | (q[1] & 0x3Fu);
          invalid |= q[0] < 0xC2;
        } else if (q[0] < 0xF0) {
          if (end - q < 3) {
            invalid = 1;
            break;
          }
          length = 3;
          ch = (char32_t{q[0] & 0x0Fu} << 12) | (char32_t{q[1] & 0x3Fu} << 6) | (q[2] & 0x3Fu);
          invalid |= (ch < 0x800) | ((ch & 0xF800) == 0xD800);
        } else {
          if (end - q < 4) {
            invalid = 1;
            break;
          }
          length = 4;
          ch = (char32_t{q[0] & 0x07u} << 18) | (char32_t{q[1] & 0x3Fu} << 12) | (char32_t{q[2] & 0x3Fu} << 6) |
               (q[3] & 0x3Fu);
          invalid |= (q[0] > 0xF4) | (ch < 0x10000) | (ch > 0x10FFFF);
        }
        expected |= LowBits(i + length) & ~LowBits(i + 1);
        if (i + length > 64) beyond |= LowBits(i + length - 64);
        const int width = CharWidth(ch & 0x1FFFFF);
        wide |= static_cast<uint64_t>(width == 2) << i;
        zero |= static_cast<uint64_t>(width == 0) << i;
      }
      carried = beyond != 0 ? __builtin_ctzll(~beyond) : 0;  // beyond holds the low bits only
      fast = invalid == 0 && continuations == expected && (beyond == 0 || Continue(p + 64, end, carried));
      skip |= continuations | zero;
    }
    if (fast) {
      // Only the tabs are visited. A wide character's first continuation
      // byte counts as its second column, so the column is the bytes less
      // `skip` alone; a wide lead in the last byte has that byte in the
      // next block and adds its column at the end.
      skip &= ~(wide << 1);
      uint64_t events = allTabs & ~LowBits(from);
      while (events != 0) {
        const int i = __builtin_ctzll(events);
        onTabs(i, skip);
        events &= ~LowBits(from);
      }
      toBlockEnd(skip);
      anchorColumn += static_cast<int64_t>(wide >> 63);
      // Those beyond the block are taken off now and skipped there.
      anchorColumn -= carried;
      from = carried;
    } else {
      // Only a block that is not valid UTF-8 (or a character in it that
      // the text's end cuts) takes this way.
      valid = false;
      uint64_t events = (allTabs | high) & ~LowBits(from);
      while (events != 0) {
        const int i = __builtin_ctzll(events);
        if ((allTabs >> i) & 1) {
          onTabs(i, 0);
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
        anchorColumn = columnAt(i, 0) + CharWidth(ch);
        anchor = p + i + length;
        from = i + length;
        events &= ~LowBits(from);
      }
      toBlockEnd(0);
      from = from > 64 ? from - 64 : 0;
    }
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
    } else if (byte == '\r' || byte == '\n') {
      anchor = p + 1;
      anchorColumn = 0;
    } else if (byte >= 0x80) {
      char32_t ch;
      const int length = DecodeUtf8(p, end, ch);
      if (length > 0) {
        anchorColumn += CharWidth(ch) - length;
        p += length - 1;
      } else {
        valid = false;
      }
    }
  }
  m_bValid &= valid;

  m_Output.m_nUsed = static_cast<size_t>(out - buffer);
  m_nTabCount = tabCount;
  m_Output.Put(reinterpret_cast<const char*>(run), static_cast<size_t>(end - run));
  m_nColumn = anchorColumn + (end - anchor);
}
