#include "engine/tab_stops.h"
namespace velmora {
int ExpandStep(char& ch, int32_t& column, uint32_t& tabCount, const TabStopList& stops) {
  (void)stops; (void)tabCount;
  if (ch == '\r') column = 0; else if (ch != '\n') ++column;
  return 1;
}
}
