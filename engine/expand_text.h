#pragma once
// The expansion of a whole text held in memory (the clipboard's), sized
// exactly before it is written: one counting pass, one allocation, one
// writing pass, so the output never grows and is never copied. Bytes by the
// byte rule (the 8-bit clipboard), or UTF-16 code units in the machine's own
// (little-endian) order by the column rule of the characters (the Unicode
// clipboard). The list's leading tabs only holds here too.
#include <cstddef>
#include <cstdint>

#include "engine/tab_stops.h"

struct ExpandedTextSize {
  uint64_t m_nBytes;     // the output's length, without a final 0
  uint64_t m_nTabCount;  // the tabs replaced
};

// What expanding `length` bytes of text gives, counted in 64 bits (a 32-bit
// size could overflow for tab-dense text with wide stops).
ExpandedTextSize MeasureExpandedText(const char* text, size_t length, const TabStopList& stops);

// Writes the expansion into output, which has room for `capacity` bytes (at
// least the measured size). Returns the bytes written; throws
// std::length_error rather than write past the end.
size_t ExpandTextInto(const char* text, size_t length, const TabStopList& stops, char* output,
                      size_t capacity);

// The same for `length` UTF-16 code units: sizes in bytes, so that the
// output holds m_nBytes / 2 units.
ExpandedTextSize MeasureExpandedUtf16(const char16_t* text, size_t length, const TabStopList& stops);

// Writes the expansion of `length` units into output, which has room for
// `capacity` units. Returns the units written; throws std::length_error
// rather than write past the end.
size_t ExpandUtf16Into(const char16_t* text, size_t length, const TabStopList& stops, char16_t* output,
                       size_t capacity);
