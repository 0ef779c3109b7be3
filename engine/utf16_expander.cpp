#include "engine/char_width.h"
#include "engine/leading_tabs.h"
#include "engine/unicode_expanders.h"

namespace {

bool IsHigh(uint32_t unit) { return unit >= 0xD800 && unit < 0xDC00; }
bool IsLow(uint32_t unit) { return unit >= 0xDC00 && unit < 0xE000; }

char32_t Pair(uint32_t high, uint32_t low) { return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00); }

}  // namespace

Utf16Expander::Utf16Expander(const TabStopList& stops, ByteSink& sink, bool bigEndian, size_t bufferSize)
    : m_Stops(stops), m_Output(sink, bufferSize), m_bBigEndian(bigEndian), m_bLeadingOnly(stops.IsLeadingOnly()) {
  m_Space[0] = bigEndian ? 0 : ' ';
  m_Space[1] = bigEndian ? ' ' : 0;
}

void Utf16Expander::Expand(const char* data, size_t size) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
  const unsigned char* const end = p + size;
  if (p == end) return;
  if (m_bOdd) {
    const unsigned char unit[2] = {m_Odd, *p++};
    m_bOdd = false;
    if (m_bLeadingOnly) {
      if (m_bBigEndian) ExpandUnitsLeading<true>(unit, unit + 2);
      else ExpandUnitsLeading<false>(unit, unit + 2);
    } else {
      Step(unit);
    }
  }
  // Surrogates play no part in an indentation: none is held back.
  if (m_bLeadingOnly) {
    if (m_bBigEndian) ExpandUnitsLeading<true>(p, end);
    else ExpandUnitsLeading<false>(p, end);
    return;
  }
  // A high surrogate held back meets the unit after it (which may be another).
  while (m_bHigh && end - p >= 2) {
    Step(p);
    p += 2;
  }
  if (m_bBigEndian) ExpandUnits<true>(p, end);
  else ExpandUnits<false>(p, end);
}

void Utf16Expander::Finish() {
  if (m_bHigh) {
    m_bHigh = false;
    m_Output.Put(reinterpret_cast<const char*>(m_High), 2);
    ++m_nColumn;
  }
  if (m_bOdd) {
    m_bOdd = false;
    m_Output.Put(reinterpret_cast<const char*>(&m_Odd), 1);
  }
  m_Output.Flush();
}

void Utf16Expander::Step(const unsigned char* bytes) {
  const uint32_t unit = Unit(bytes);
  if (m_bHigh) {
    m_bHigh = false;
    m_Output.Put(reinterpret_cast<const char*>(m_High), 2);
    if (IsLow(unit)) {
      m_Output.Put(reinterpret_cast<const char*>(bytes), 2);
      m_nColumn += CharWidth(Pair(Unit(m_High), unit));
      return;
    }
    ++m_nColumn;  // a lone high surrogate
  }
  if (IsHigh(unit)) {
    m_High[0] = bytes[0];
    m_High[1] = bytes[1];
    m_bHigh = true;
    return;
  }
  if (unit == '\t') {
    const int64_t stop = m_Stops.NextStop(m_nColumn);
    m_Output.PutUnits(m_Space, 2, static_cast<uint64_t>(stop - m_nColumn));
    m_nColumn = stop;
    ++m_nTabCount;
    return;
  }
  m_Output.Put(reinterpret_cast<const char*>(bytes), 2);
  if (unit == '\r' || unit == '\n') m_nColumn = 0;
  else m_nColumn += CharWidth(unit);
}

template <bool kBigEndian>
void Utf16Expander::ExpandUnits(const unsigned char* data, const unsigned char* end) {
  const auto unitAt = [](const unsigned char* q) -> uint32_t {
    return kBigEndian ? (uint32_t{q[0]} << 8) | q[1] : (uint32_t{q[1]} << 8) | q[0];
  };
  // Units from run on are still to be copied.
  const unsigned char* run = data;
  const unsigned char* p = data;
  int64_t column = m_nColumn;
  const unsigned char* const last = end - ((end - data) & 1);  // the end of whole units
  while (p < last) {
    const uint32_t unit = unitAt(p);
    // Below the combining marks (U+0300) every unit but these three is one column.
    if (unit < 0x300 && unit != '\t' && unit != '\r' && unit != '\n') {
      ++column;
      p += 2;
      continue;
    }
    if (unit == '\t') {
      m_Output.Put(reinterpret_cast<const char*>(run), static_cast<size_t>(p - run));
      const int64_t stop = m_Stops.NextStop(column);
      m_Output.PutUnits(m_Space, 2, static_cast<uint64_t>(stop - column));
      column = stop;
      ++m_nTabCount;
      p += 2;
      run = p;
    } else if (unit == '\r' || unit == '\n') {
      column = 0;
      p += 2;
    } else if (IsHigh(unit)) {
      if (last - p < 4) {
        // The unit after it is in the next piece.
        m_Output.Put(reinterpret_cast<const char*>(run), static_cast<size_t>(p - run));
        m_High[0] = p[0];
        m_High[1] = p[1];
        m_bHigh = true;
        p += 2;
        run = p;
        break;
      }
      const uint32_t next = unitAt(p + 2);
      if (IsLow(next)) {
        column += CharWidth(Pair(unit, next));
        p += 4;
      } else {
        ++column;
        p += 2;
      }
    } else {
      column += CharWidth(unit);
      p += 2;
    }
  }
  m_Output.Put(reinterpret_cast<const char*>(run), static_cast<size_t>(p - run));
  m_nColumn = column;
  if (last < end) {
    m_Odd = *last;
    m_bOdd = true;
  }
}

template <bool kBigEndian>
void Utf16Expander::ExpandUnitsLeading(const unsigned char* data, const unsigned char* end) {
  const auto unitAt = [](const unsigned char* q) -> uint32_t {
    return kBigEndian ? (uint32_t{q[0]} << 8) | q[1] : (uint32_t{q[1]} << 8) | q[0];
  };
  const unsigned char* const last = end - ((end - data) & 1);  // the end of whole units
  const unsigned char* run = data;
  const unsigned char* p = data;
  int64_t column = m_nColumn;
  bool indentation = m_bInIndentation;
  while (p < last) {
    if (!indentation) {
      p = expander_detail::FindLineEndUnit<kBigEndian>(p, last);
      if (p == last) break;
      p += 2;
      column = 0;
      indentation = true;
      continue;
    }
    const uint32_t unit = unitAt(p);
    if (unit == ' ') {
      ++column;
      p += 2;
    } else if (unit == '\t') {
      const unsigned char* q = p + 2;
      while (q < last && unitAt(q) == '\t') q += 2;
      const int64_t row = (q - p) / 2;
      const int64_t stop = m_Stops.StopAfterRow(column, row);
      m_Output.Put(reinterpret_cast<const char*>(run), static_cast<size_t>(p - run));
      m_Output.PutUnits(m_Space, 2, static_cast<uint64_t>(stop - column));
      m_nTabCount += static_cast<uint64_t>(row);
      column = stop;
      run = p = q;
    } else if (unit == '\r' || unit == '\n') {
      column = 0;
      p += 2;
    } else {
      // The byte order mark stands before a text's first line.
      indentation = unit == 0xFEFF;
      p += 2;
    }
  }
  m_Output.Put(reinterpret_cast<const char*>(run), static_cast<size_t>(last - run));
  m_nColumn = column;
  m_bInIndentation = indentation;
  if (last < end) {
    m_Odd = *last;
    m_bOdd = true;
  }
}
