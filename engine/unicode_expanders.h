#pragma once
// The expansion rule over text in UTF-8 and UTF-16: columns by characters
// (CharWidth), tabs, carriage returns and line feeds as the byte rule treats
// them. Both stream like TabExpander: any split of the text into pieces
// (inside a character too), output to the sink in blocks of a fixed size,
// 64-bit column and count.
#include <cstddef>
#include <cstdint>

#include "engine/expander_parts.h"
#include "engine/tab_expander.h"
#include "engine/tab_stops.h"

// UTF-8 text. A byte that is not part of a valid character (possible in a
// text with a UTF-8 mark) moves the column by one and is copied unchanged.
class Utf8Expander {
 public:
  static constexpr size_t kDefaultBufferSize = TabExpander::kDefaultBufferSize;

  Utf8Expander(const TabStopList& stops, ByteSink& sink, size_t bufferSize = kDefaultBufferSize);

  // Expands the next piece of the text; pieces may split it anywhere.
  void Expand(const char* data, size_t size);
  // The text ended: the bytes of a character it cut short go out as they are,
  // a column each, and the output to the sink.
  void Finish();
  // Hands what is buffered to the sink (the end of a cut character stays).
  void Flush() { m_Output.Flush(); }

  // With "leading tabs only" as TabExpander has them, but past a line's
  // indentation the column stays where the indentation ended (the rest of
  // the line is not decoded); the byte order mark (U+FEFF) counts as part
  // of an indentation.
  int64_t GetColumn() const { return m_nColumn; }
  uint64_t GetTabCount() const { return m_nTabCount; }
  bool IsInIndentation() const { return m_bInIndentation; }
  // Continues from a given state, as if that much text had gone before.
  void SetState(int64_t column, uint64_t tabCount, bool inIndentation = true) {
    m_nColumn = column;
    m_nTabCount = tabCount;
    m_bInIndentation = inIndentation;
  }
  // Every byte so far is ASCII or part of a valid character: the text is
  // UTF-8 up to a character that the last piece cut, which the next piece
  // or Finish (where it is not valid) decides. The expansion finds this out
  // at no extra cost, so a text that is converted while it may still prove
  // not to be UTF-8 needs no check of its own. With "leading tabs only" the
  // rest of each line is copied unread and this stays true: an indentation
  // of blanks and tabs comes out the same by the byte rule.
  bool IsValid() const { return m_bValid; }
  // The output follows `before` bytes already in the sink: its blocks are
  // handed over at multiples of the buffer size from the sink's start.
  void AlignOutputAfter(uint64_t before) { m_Output.AlignAfter(before); }

 private:
  // Expands bytes in which a character cut at the end is invalid.
  void ExpandWhole(const unsigned char* data, const unsigned char* end);
  void ExpandWholeLeading(const unsigned char* data, const unsigned char* end);

  TabStopFinder m_Stops;
  OutputBlocks m_Output;
  int64_t m_nColumn = 0;
  uint64_t m_nTabCount = 0;
  unsigned char m_Carry[4] = {};  // the start of a character that the piece cut
  size_t m_nCarried = 0;
  bool m_bValid = true;
  bool m_bLeadingOnly;
  bool m_bInIndentation = true;
};

// UTF-16 in either byte order, mark included, in code units of that order:
// a tab becomes spaces (0x0020 in that order), a surrogate pair counts as one
// character, a lone surrogate moves the column by one, an odd last byte is
// copied unchanged.
class Utf16Expander {
 public:
  static constexpr size_t kDefaultBufferSize = TabExpander::kDefaultBufferSize;

  Utf16Expander(const TabStopList& stops, ByteSink& sink, bool bigEndian,
                size_t bufferSize = kDefaultBufferSize);

  void Expand(const char* data, size_t size);
  // The text ended: a high surrogate or odd byte held back goes out as it is.
  void Finish();
  void Flush() { m_Output.Flush(); }

  int64_t GetColumn() const { return m_nColumn; }
  uint64_t GetTabCount() const { return m_nTabCount; }
  bool IsInIndentation() const { return m_bInIndentation; }
  void SetState(int64_t column, uint64_t tabCount, bool inIndentation = true) {
    m_nColumn = column;
    m_nTabCount = tabCount;
    m_bInIndentation = inIndentation;
  }

 private:
  template <bool kBigEndian>
  void ExpandUnits(const unsigned char* data, const unsigned char* end);
  uint32_t Unit(const unsigned char* p) const {
    return m_bBigEndian ? (uint32_t{p[0]} << 8) | p[1] : (uint32_t{p[1]} << 8) | p[0];
  }
  template <bool kBigEndian>
  void ExpandUnitsLeading(const unsigned char* data, const unsigned char* end);
  // One unit on its own, where a piece splits the text.
  void Step(const unsigned char* bytes);

  TabStopFinder m_Stops;
  OutputBlocks m_Output;
  bool m_bBigEndian;
  char m_Space[2];
  int64_t m_nColumn = 0;
  uint64_t m_nTabCount = 0;
  unsigned char m_High[2] = {};  // a high surrogate waiting for the next unit
  bool m_bHigh = false;
  unsigned char m_Odd = 0;  // the first byte of a unit that the piece cut
  bool m_bOdd = false;
  bool m_bLeadingOnly;
  bool m_bInIndentation = true;
};
