#include "engine/expand_text.h"

#include <cstring>
#include <stdexcept>

#include "engine/tab_expander.h"
#include "engine/unicode_expanders.h"

namespace {

constexpr size_t kPassBuffer = 64 * 1024;

class CountingSink : public ByteSink {
 public:
  void Write(const char*, size_t size) override { m_nBytes += size; }
  uint64_t m_nBytes = 0;
};

class MemorySink : public ByteSink {
 public:
  MemorySink(char* output, size_t capacity) : m_pOutput(output), m_nCapacity(capacity) {}
  void Write(const char* data, size_t size) override {
    if (size > m_nCapacity - m_nUsed) throw std::length_error("expanded text larger than measured");
    std::memcpy(m_pOutput + m_nUsed, data, size);
    m_nUsed += size;
  }
  size_t m_nUsed = 0;

 private:
  char* m_pOutput;
  size_t m_nCapacity;
};

}  // namespace

ExpandedTextSize MeasureExpandedText(const char* text, size_t length, const TabStopList& stops) {
  CountingSink sink;
  TabExpander expander(stops, sink, kPassBuffer);
  expander.Expand(text, length);
  expander.Flush();
  return {sink.m_nBytes, expander.GetTabCount()};
}

size_t ExpandTextInto(const char* text, size_t length, const TabStopList& stops, char* output,
                      size_t capacity) {
  MemorySink sink(output, capacity);
  TabExpander expander(stops, sink, kPassBuffer);
  expander.Expand(text, length);
  expander.Flush();
  return sink.m_nUsed;
}

ExpandedTextSize MeasureExpandedUtf16(const char16_t* text, size_t length, const TabStopList& stops) {
  CountingSink sink;
  Utf16Expander expander(stops, sink, false, kPassBuffer);
  expander.Expand(reinterpret_cast<const char*>(text), length * sizeof(char16_t));
  expander.Finish();
  return {sink.m_nBytes, expander.GetTabCount()};
}

size_t ExpandUtf16Into(const char16_t* text, size_t length, const TabStopList& stops, char16_t* output,
                       size_t capacity) {
  MemorySink sink(reinterpret_cast<char*>(output), capacity * sizeof(char16_t));
  Utf16Expander expander(stops, sink, false, kPassBuffer);
  expander.Expand(reinterpret_cast<const char*>(text), length * sizeof(char16_t));
  expander.Finish();
  return sink.m_nUsed / sizeof(char16_t);
}
