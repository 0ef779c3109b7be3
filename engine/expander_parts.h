#pragma once
// What the character expanders share: the next stop by arithmetic and the
// output handed to the sink in blocks of a fixed size.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/next_stop.h"
#include "engine/tab_expander.h"
#include "engine/tab_stops.h"

// A buffer of a fixed capacity in front of the sink, with slack beyond it for
// stores of whole blocks that the next piece partly overwrites.
class OutputBlocks {
 public:
  static constexpr size_t kSlack = 256;

  OutputBlocks(ByteSink& sink, size_t capacity);

  void Put(const char* data, size_t size);
  // count copies of a unit of `unitSize` bytes (1 or 2: a space in the text's encoding).
  void PutUnits(const char* unit, size_t unitSize, uint64_t count);
  // Hands what is buffered to the sink.
  void Flush();
  // The output follows `before` bytes that went to the sink another way:
  // the first block is cut short so that every later one starts at a
  // multiple of the capacity (the system writes whole aligned blocks of a
  // file faster, about a third for 64 KB blocks under Wine on ext4). Only
  // while nothing is buffered.
  void AlignAfter(uint64_t before);

  char* Begin() { return m_Buffer.data(); }
  // The end of the current block: the capacity, or less for the first one
  // after AlignAfter. Read it again after a Put or Flush.
  char* Limit() { return m_Buffer.data() + m_nLimit; }
  size_t m_nUsed = 0;

 private:
  ByteSink& m_Sink;
  std::vector<char> m_Buffer;
  size_t m_nCapacity;
  size_t m_nLimit;  // of the current block, at most m_nCapacity
};
