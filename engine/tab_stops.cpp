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

namespace {

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }
bool IsBlank(char ch) { return ch == ' ' || ch == '\t'; }
bool IsAtoiSpace(char ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); }

// Whether the text is a list: a first number, commas or blanks, another digit.
bool LooksLikeList(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && IsAtoiSpace(text[i])) ++i;
  if (i == text.size() || !IsDigit(text[i])) return false;
  while (i < text.size() && IsDigit(text[i])) ++i;
  const size_t afterNumber = i;
  while (i < text.size() && (IsBlank(text[i]) || text[i] == ',')) ++i;
  return i > afterNumber && i < text.size() && IsDigit(text[i]);
}

constexpr char kOtherCharacter[] = "it holds a character other than digits, commas and blanks";

// The stop positions of a list (LooksLikeList), or the reason it is refused.
std::string ParseStopList(const std::string& text, std::vector<uint32_t>& positions) {
  size_t i = 0;
  while (i < text.size() && IsAtoiSpace(text[i])) ++i;
  while (true) {
    // Here after the blanks before the text, or after a comma.
    if (i == text.size() || text[i] == ',') return "a comma must stand between two numbers";
    if (text[i] == '-') return "a stop cannot be a negative number";
    if (!IsDigit(text[i])) return kOtherCharacter;
    uint32_t value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
      value = value * 10 + static_cast<uint32_t>(text[i] - '0');
      if (value > 65535) value = 65536;
    }
    if (value < 1) return "a stop must be at column 1 or beyond, not 0";
    if (value > 65535) return "a stop must be at column 65535 or before";
    if (!positions.empty() && value <= positions.back()) return "the stops must increase from left to right";
    positions.push_back(value);
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i == text.size()) return std::string();
    if (text[i] == ',') {
      ++i;
      while (i < text.size() && IsBlank(text[i])) ++i;
    } else if (!IsDigit(text[i])) {
      return kOtherCharacter;
    }
  }
}

}  // namespace

TabBoxReading ReadTabBoxText(const std::string& text) {
  TabBoxReading reading;
  if (!LooksLikeList(text)) {
    reading.m_Stops = TabStopList(TabWidthFromText(text));
    return reading;
  }
  std::vector<uint32_t> positions;
  reading.m_strProblem = ParseStopList(text, positions);
  if (reading.IsRefused()) return reading;
  std::vector<uint16_t> widths;
  uint32_t previous = 0;
  for (uint32_t position : positions) {
    widths.push_back(static_cast<uint16_t>(position - previous));
    previous = position;
  }
  reading.m_Stops = TabStopList(std::move(widths));
  return reading;
}

int ExpandStep(char& ch, int64_t& column, uint64_t& tabCount, bool& inIndentation, const TabStopList& stops) {
  if (ch == '\r' || ch == '\n') {
    inIndentation = true;
  } else if (ch == '\t') {
    if (stops.IsLeadingOnly() && !inIndentation) {
      ++column;
      return 1;
    }
  } else if (ch != ' ') {
    inIndentation = false;
  }
  return ExpandStep(ch, column, tabCount, stops);
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
