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

  // "Leading tabs only": only the tabs of a line's indentation, before its
  // first character other than a blank or a tab, are replaced and counted;
  // every other tab stays a tab. A line starts at the start of the text and
  // after a carriage return or a line feed. Off unless set.
  void SetLeadingOnly(bool leadingOnly) { m_bLeadingOnly = leadingOnly; }
  bool IsLeadingOnly() const { return m_bLeadingOnly; }

 private:
  std::vector<uint16_t> m_Widths;
  bool m_bLeadingOnly = false;
};

// The width that the text of the tab box stands for: its leading integer read
// as atoi reads it, brought into 1..65535 (letters only or 0 give 1).
uint16_t TabWidthFromText(const std::string& text);

// What the text of the tab box stands for. The text is a list of stop
// positions when, after the blanks atoi skips, it starts with a number that
// is followed by commas or blanks and then another digit ("4, 10, 20",
// "4 10"); any other text is one width, as TabWidthFromText reads it ("8",
// "12abc", "0", " 6", "8,"). A list is numbers 1 to 65535, strictly
// increasing, separated by blanks with at most one comma among them, with
// blanks only around them: stops at those columns, and beyond the last one
// the last gap repeating ("4, 10, 20" gives the widths 4, 6 and 10). A list
// that breaks a rule is refused: m_strProblem says why, in words for the
// user, and m_Stops is the default.
struct TabBoxReading {
  TabStopList m_Stops;
  std::string m_strProblem;  // empty unless the list is refused
  bool IsRefused() const { return !m_strProblem.empty(); }
};
TabBoxReading ReadTabBoxText(const std::string& text);

// One byte of the expansion rule. A tab becomes a space to be written up to
// the next stop strictly beyond the column (and is counted); a carriage return
// or a line feed ends a line and sets the column to 0; any other byte advances
// it by 1.
// Returns how many times to write the byte as it now stands (at least 1).
int ExpandStep(char& ch, int64_t& column, uint64_t& tabCount, const TabStopList& stops);
// The same with "leading tabs only" when the list says so: inIndentation
// tells whether the line so far holds only blanks and tabs (true at the
// start of a text). A tab past the indentation stays a tab, is not counted
// and moves the column by 1 (past the indentation nothing needs the column
// until the line ends).
int ExpandStep(char& ch, int64_t& column, uint64_t& tabCount, bool& inIndentation, const TabStopList& stops);

// "%d tabs converted" with the count (the full 64-bit count).
std::string TabsConvertedText(uint64_t tabCount);
