#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

// The widths of the tab stops: the first stop lies at the first width, each
// later stop one width beyond the previous one, and beyond the list the last
// width repeats. Never empty, no width below 1 (a width of 0 would never reach
// a stop); the constructors throw std::invalid_argument otherwise.
class TabStopList {
 public:
  explicit TabStopList(uint16_t width = 8);
  TabStopList(std::initializer_list<uint16_t> widths);
  explicit TabStopList(std::vector<uint16_t> widths);

  size_t GetSize() const { return m_Widths.size(); }
  uint16_t operator[](size_t i) const { return m_Widths[i]; }
  uint16_t GetLast() const { return m_Widths.back(); }
  const std::vector<uint16_t>& GetWidths() const { return m_Widths; }

 private:
  std::vector<uint16_t> m_Widths;
};

// The width that the text of the tab box stands for: its leading integer read
// as atoi reads it, brought into 1..65535 (letters only or 0 give 1).
uint16_t TabWidthFromText(const std::string& text);

// One byte of the expansion rule. A tab becomes a space to be written up to
// the next stop strictly beyond the column (and is counted); a carriage return
// or a line feed ends a line and sets the column to 0; any other byte advances
// it by 1.
// Returns how many times to write the byte as it now stands (at least 1).
int ExpandStep(char& ch, int64_t& column, uint64_t& tabCount, const TabStopList& stops);

// "%d tabs converted" with the count (the full 64-bit count).
std::string TabsConvertedText(uint64_t tabCount);
