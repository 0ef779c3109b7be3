#include "engine/char_width.h"

#include <algorithm>
#include <iterator>

namespace char_width_detail {
struct WidthRange {
  char32_t first;
  char32_t last;
  uint8_t width;
};
}  // namespace char_width_detail

// Defines kUnicodeVersion, kBlockOf, kBlocks and kRanges.
#include "char_width_table.inc"

namespace char_width_detail {

static_assert(std::size(kBlockOf) == 0x20000 >> 8, "the table covers planes 0 and 1 by blocks of 256");

int WidthBeyondPlaneOne(char32_t ch) {
  // A handful of ranges (the ideographs of planes 2 and 3, the tags and
  // variation selectors of plane 14): a binary search.
  const WidthRange* range = std::upper_bound(std::begin(kRanges), std::end(kRanges), ch,
                                             [](char32_t c, const WidthRange& r) { return c < r.first; });
  if (range == std::begin(kRanges)) return 1;
  --range;
  return ch <= range->last ? range->width : 1;
}

}  // namespace char_width_detail

const char* CharWidthUnicodeVersion() { return char_width_detail::kUnicodeVersion; }
