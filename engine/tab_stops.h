#pragma once
#include <cstdint>
#include <vector>

namespace velmora {

// Widths of the tab stops; the last width repeats beyond the list.
using TabStopList = std::vector<uint16_t>;

int ExpandStep(char& ch, int32_t& column, uint32_t& tabCount, const TabStopList& stops);

}  // namespace velmora
