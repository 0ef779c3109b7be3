#include "engine/tab_stops.h"
#include <gtest/gtest.h>
TEST(Smoke, Builds) {
  char c = 'a'; int32_t col = 0; uint32_t t = 0;
  EXPECT_EQ(1, velmora::ExpandStep(c, col, t, {8}));
}
