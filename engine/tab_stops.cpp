#include "engine/tab_stops.h"

#include <stdexcept>
#include <utility>

namespace {
void CheckWidths(const std::vector<uint16_t>& widths) {
  if (widths.empty()) throw std::invalid_argument("a tab stop list needs at least one width");
  for (uint16_t w : widths)
    if (w < 1) throw std::invalid_argument("a tab width must be at least 1");
}
}  // namespace

TabStopList::TabStopList(uint16_t width) : m_Widths{width} { CheckWidths(m_Widths); }

TabStopList::TabStopList(std::initializer_list<uint16_t> widths) : m_Widths(widths) {
  CheckWidths(m_Widths);
}

TabStopList::TabStopList(std::vector<uint16_t> widths) : m_Widths(std::move(widths)) {
  CheckWidths(m_Widths);
}

uint16_t TabWidthFromText(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Saturate instead of overflowing: any value above 65535 gives 65535.
  uint32_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + static_cast<uint32_t>(text[i] - '0');
    if (value > 65535) value = 65536;
  }
  if (negative || value < 1) return 1;
  return value > 65535 ? 65535 : static_cast<uint16_t>(value);
}

int ExpandStep(char& ch, int64_t& column, uint64_t& tabCount, const TabStopList& stops) {
  if (ch == '\t') {
    int64_t stop = 0;
    size_t i = 0;
    for (; i < stops.GetSize(); ++i) {
      stop += stops[i];
      if (stop > column) break;
    }
    // Past the list the last width repeats: skip the whole widths at once.
    if (stop <= column) {
      const int64_t last = stops.GetLast();
      stop += ((column - stop) / last + 1) * last;
    }
    ch = ' ';
    const int repeat = static_cast<int>(stop - column);
    column = stop;
    ++tabCount;
    return repeat;
  }
  if (ch == '\r' || ch == '\n')
    column = 0;
  else
    ++column;
  return 1;
}

std::string TabsConvertedText(uint64_t tabCount) {
  return std::to_string(tabCount) + " tabs converted";
}
