#pragma once
#include <string>

#include "engine/tab_stops.h"

// The text as ExpandStep turns it out, one byte at a time: the reference that
// every faster path must match.
inline std::string ReferenceExpand(const std::string& input, const TabStopList& stops, int64_t& column,
                                   uint64_t& tabCount) {
  std::string out;
  for (char byte : input) {
    char ch = byte;
    const int repeat = ExpandStep(ch, column, tabCount, stops);
    out.append(static_cast<size_t>(repeat), ch);
  }
  return out;
}
