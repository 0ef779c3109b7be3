// A differential fuzz driver for the expanders: random text (bytes, UTF-8
// with every kind of fault, UTF-16 in both byte orders), random stop lists,
// every tab or "leading tabs only",
// split at random points into pieces that each lie in a buffer of exactly
// their size (so that a read past a piece is a read past its allocation,
// which AddressSanitizer reports), run through every expander and the
// in-memory expansions, and compared with a small reference of the rule
// written here on its own.
//
//   expand_fuzz [SECONDS] [SEED]
//
// Runs for SECONDS (default 10) from SEED (default: the time), prints how
// many inputs it ran and exits 1 with the first input that differs.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/char_width.h"
#include "engine/expand_text.h"
#include "engine/tab_expander.h"
#include "engine/tab_stops.h"
#include "engine/unicode_expanders.h"
#include "tests/engine/reference_expand.h"

namespace {

// ---- The reference of the rule ------------------------------------------

// The first stop strictly beyond `column`: the running sums of the widths,
// and beyond them the last width again and again.
int64_t ReferenceStop(const std::vector<uint16_t>& widths, int64_t column) {
  int64_t stop = 0;
  for (uint16_t w : widths) {
    stop += w;
    if (stop > column) return stop;
  }
  while (stop <= column) stop += widths.back();
  return stop;
}

struct Reference {
  std::string out;
  int64_t column = 0;  // not compared for "leading tabs only"
  uint64_t tabs = 0;
  bool valid = true;  // UTF-8 only: every byte part of a valid character
  bool leading = false;  // "leading tabs only"
  bool indentation = true;  // the line so far is blanks and tabs (and marks)

  // Whether a tab here is replaced.
  bool Converts() const { return !leading || indentation; }
  // After a character other than a tab: a line end starts an indentation,
  // anything but a blank or the mark ends it.
  void Saw(char32_t ch) {
    if (ch == '\r' || ch == '\n') indentation = true;
    else if (ch != ' ' && ch != 0xFEFF) indentation = false;
  }
};

// Bytes: a tab goes to the next stop, a carriage return or a line feed ends
// the line, every other byte is one column.
Reference ReferenceBytes(const std::string& text, const std::vector<uint16_t>& widths, bool leading) {
  Reference r;
  r.leading = leading;
  for (char ch : text) {
    if (ch == '\t' && !r.Converts()) {
      r.out += ch;
      ++r.column;  // as ExpandStep has it
    } else if (ch == '\t') {
      const int64_t stop = ReferenceStop(widths, r.column);
      r.out.append(static_cast<size_t>(stop - r.column), ' ');
      r.column = stop;
      ++r.tabs;
    } else {
      r.out += ch;
      r.column = ch == '\r' || ch == '\n' ? 0 : r.column + 1;
      r.Saw(static_cast<unsigned char>(ch));
    }
  }
  return r;
}

// UTF-8: a valid character takes its width; any other byte one column.
Reference ReferenceUtf8(const std::string& text, const std::vector<uint16_t>& widths, bool leading) {
  Reference r;
  r.leading = leading;
  for (size_t i = 0; i < text.size();) {
    char32_t ch;
    const int length = DecodeUtf8Reference(text, i, ch);
    if (length > 0) {
      r.out.append(text, i, static_cast<size_t>(length));
      r.column += CharWidth(ch);
      r.Saw(ch);
      i += static_cast<size_t>(length);
      continue;
    }
    const char byte = text[i++];
    if ((byte & 0x80) != 0) r.valid = false;
    if (byte == '\t' && !r.Converts()) {
      r.out += byte;
    } else if (byte == '\t') {
      const int64_t stop = ReferenceStop(widths, r.column);
      r.out.append(static_cast<size_t>(stop - r.column), ' ');
      r.column = stop;
      ++r.tabs;
    } else {
      r.out += byte;
      r.column = byte == '\r' || byte == '\n' ? 0 : r.column + 1;
      r.Saw(static_cast<unsigned char>(byte));
    }
  }
  return r;
}

// UTF-16 in one byte order: a surrogate pair is one character, a lone
// surrogate one column, an odd last byte is copied.
Reference ReferenceUtf16(const std::string& text, bool bigEndian, const std::vector<uint16_t>& widths,
                         bool leading) {
  auto unitAt = [&](size_t i) -> char32_t {
    const unsigned char a = static_cast<unsigned char>(text[i]), b = static_cast<unsigned char>(text[i + 1]);
    return bigEndian ? (char32_t{a} << 8) | b : (char32_t{b} << 8) | a;
  };
  Reference r;
  r.leading = leading;
  size_t i = 0;
  for (; i + 2 <= text.size(); i += 2) {
    const char32_t unit = unitAt(i);
    if (unit == '\t' && !r.Converts()) {
      r.out.append(text, i, 2);
      continue;
    }
    if (unit == '\t') {
      const int64_t stop = ReferenceStop(widths, r.column);
      for (int64_t n = stop - r.column; n > 0; --n) r.out += bigEndian ? std::string("\0 ", 2) : std::string(" \0", 2);
      r.column = stop;
      ++r.tabs;
      continue;
    }
    r.out.append(text, i, 2);
    r.Saw(unit);
    if (unit == '\r' || unit == '\n') {
      r.column = 0;
    } else if (unit >= 0xD800 && unit < 0xDC00 && i + 4 <= text.size() && unitAt(i + 2) >= 0xDC00 &&
               unitAt(i + 2) < 0xE000) {
      r.column += CharWidth(0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 2) - 0xDC00));
      r.out.append(text, i + 2, 2);
      i += 2;
    } else if (unit >= 0xD800 && unit < 0xE000) {
      r.column += 1;
    } else {
      r.column += CharWidth(unit);
    }
  }
  if (i < text.size()) r.out += text[i];
  return r;
}

// ---- Random inputs ------------------------------------------------------

using Rng = std::mt19937_64;

size_t Below(Rng& rng, size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); }

// Code points the expanders treat in their own ways: one and two columns,
// none, the fast lead ranges, the edges of each length.
char32_t SomeCharacter(Rng& rng) {
  static const char32_t kChosen[] = {0x80,    0xE9,    0x2FF,   0x300,   0x301,   0x416,   0x5B4,  0x7FF,
                                     0x800,   0x1100,  0x200B,  0x3000,  0x4E2D,  0x9FFF,  0xAC00, 0xB000,
                                     0xCFFF,  0xD7FF,  0xE000,  0xFEFF,  0xFF21,  0xFFFD,  0xFFFF, 0x10000,
                                     0x10348, 0x1F600, 0x1F1E6, 0x20000, 0xE0001, 0x10FFFF};
  switch (Below(rng, 4)) {
    case 0: return kChosen[Below(rng, sizeof kChosen / sizeof kChosen[0])];
    case 1: return static_cast<char32_t>(0x80 + Below(rng, 0x780));
    case 2: {
      char32_t ch = static_cast<char32_t>(0x800 + Below(rng, 0xF800));
      return ch >= 0xD800 && ch < 0xE000 ? 0x4E00 : ch;
    }
    default: return static_cast<char32_t>(0x10000 + Below(rng, 0x100000));
  }
}

// Text with a given mix: ASCII letters, tabs (often in rows), line ends of
// every kind, characters, and faults (stray continuations, overlong forms,
// surrogates, cut characters, bytes that start nothing).
std::string RandomUtf8ish(Rng& rng, size_t length) {
  std::string s;
  const size_t tabShare = Below(rng, 40), endShare = Below(rng, 10), charShare = Below(rng, 40),
               faultShare = Below(rng, 4) == 0 ? Below(rng, 10) : 0;
  while (s.size() < length) {
    const size_t roll = Below(rng, 100);
    if (roll < tabShare) {
      s.append(1 + (Below(rng, 4) == 0 ? Below(rng, 8) : 0), '\t');
    } else if (roll < tabShare + endShare) {
      static const char* const kEnds[] = {"\r\n", "\n", "\r", "\n\r", "\r\r\n"};
      s += kEnds[Below(rng, 5)];
      // Often an indentation of blanks and tabs, now and then with a mark in it.
      for (size_t n = Below(rng, 2) == 0 ? Below(rng, 6) : 0; n > 0; --n) {
        const size_t kind = Below(rng, 12);
        s += kind < 5 ? "\t" : kind < 11 ? " " : "\xEF\xBB\xBF";
      }
    } else if (roll < tabShare + endShare + charShare) {
      AppendUtf8Reference(s, SomeCharacter(rng));
    } else if (roll < tabShare + endShare + charShare + faultShare) {
      static const char* const kFaults[] = {
          "\x80", "\xBF", "\xC0",     "\xC1",         "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
          "\xF5", "\xFF", "\xE4\xB8", "\xF0\x9F\x98", "\xC3"};
      s += kFaults[Below(rng, sizeof kFaults / sizeof kFaults[0])];
    } else {
      s += static_cast<char>(' ' + Below(rng, 95));
    }
  }
  s.resize(length);
  // Now and then a lead byte right at a block's end, where the 64-byte scan
  // must not look past the text.
  if (length > 0 && Below(rng, 4) == 0) {
    static const unsigned char kLeads[] = {0xC0, 0xC1, 0xC2, 0xC3, 0xCC, 0xDF, 0xE0, 0xE4, 0xED, 0xEF, 0xF0, 0xF4};
    s[length - 1] = static_cast<char>(kLeads[Below(rng, sizeof kLeads)]);
  }
  return s;
}

std::string RandomUtf16(Rng& rng, size_t units, bool bigEndian) {
  std::string s;
  auto put = [&](char32_t unit) {
    const char hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
    s += bigEndian ? hi : lo;
    s += bigEndian ? lo : hi;
  };
  for (size_t i = 0; i < units; ++i) {
    const size_t roll = Below(rng, 100);
    if (roll < 25) put('\t');
    else if (roll < 32) {
      put(Below(rng, 2) ? '\r' : '\n');
      // Often an indentation of blanks and tabs, now and then with a mark in it.
      for (size_t n = Below(rng, 2) == 0 ? Below(rng, 6) : 0; n > 0; --n) {
        const size_t kind = Below(rng, 12);
        put(kind < 5 ? '\t' : kind < 11 ? ' ' : 0xFEFF);
      }
    }
    else if (roll < 40) put(static_cast<char32_t>(0xD800 + Below(rng, 0x800)));  // surrogates, paired or not
    else if (roll < 70) {
      const char32_t ch = SomeCharacter(rng);
      if (ch >= 0x10000) {
        put(0xD800 + ((ch - 0x10000) >> 10));
        put(0xDC00 + ((ch - 0x10000) & 0x3FF));
      } else {
        put(ch);
      }
    } else {
      put(' ' + static_cast<char32_t>(Below(rng, 95)));
    }
  }
  if (Below(rng, 5) == 0) s += 'x';  // an odd last byte
  return s;
}

std::vector<uint16_t> RandomWidths(Rng& rng) {
  std::vector<uint16_t> widths;
  const size_t count = Below(rng, 3) == 0 ? 1 + Below(rng, 4) : 1;
  for (size_t i = 0; i < count; ++i) {
    const size_t roll = Below(rng, 10);
    widths.push_back(static_cast<uint16_t>(roll < 6   ? 1 + Below(rng, 16)
                                           : roll < 9 ? 1 + Below(rng, 200)
                                                      : 1 + Below(rng, 65535)));
  }
  return widths;
}

// Split points: random, or at multiples of 64 and next to them.
std::vector<size_t> RandomPieces(Rng& rng, size_t length) {
  std::vector<size_t> pieces;
  size_t at = 0;
  while (at < length) {
    size_t n;
    switch (Below(rng, 4)) {
      case 0: n = Below(rng, 8); break;
      case 1: n = 64 * (1 + Below(rng, 3)) + Below(rng, 3) - 1; break;
      case 2: n = length - at; break;
      default: n = Below(rng, 700); break;
    }
    n = std::min(n, length - at);
    pieces.push_back(n);
    at += n;
  }
  return pieces;
}

// ---- Running the expanders ----------------------------------------------

class StringSink : public ByteSink {
 public:
  void Write(const char* data, size_t size) override { m_Data.append(data, size); }
  std::string m_Data;
};

// Feeds each piece from a buffer of exactly its size.
template <typename Expander>
void FeedPieces(Expander& expander, const std::string& text, const std::vector<size_t>& pieces) {
  size_t at = 0;
  for (size_t n : pieces) {
    std::unique_ptr<char[]> piece(new char[n == 0 ? 1 : n]);
    std::memcpy(piece.get(), text.data() + at, n);
    expander.Expand(piece.get(), n);
    at += n;
  }
}

struct Failure {
  std::string what;
};

void Check(bool ok, const char* what, std::vector<Failure>& failures) {
  if (!ok) failures.push_back({what});
}

bool g_bLeading = false;  // the last input's mode, for the report

void RunOne(Rng& rng, std::vector<Failure>& failures, std::string& input, std::vector<uint16_t>& widths) {
  widths = RandomWidths(rng);
  TabStopList stops(widths);
  const bool leading = Below(rng, 2) == 0;
  stops.SetLeadingOnly(leading);
  g_bLeading = leading;
  const size_t lengthRoll = Below(rng, 10);
  const size_t length = lengthRoll < 5 ? Below(rng, 200) : lengthRoll < 9 ? Below(rng, 3000) : Below(rng, 40000);
  const size_t bufferSize = Below(rng, 3) == 0 ? 1 + Below(rng, 100) : TabExpander::kDefaultBufferSize;
  // Wide stops make every tab thousands of spaces: keep those texts short.
  const size_t cap = widths.back() > 1000 || widths.size() > 2 ? 400 : length;

  const size_t kind = Below(rng, 3);
  if (kind < 2) {
    input = RandomUtf8ish(rng, std::min(length, cap));
    const std::vector<size_t> pieces = RandomPieces(rng, input.size());
    {
      const Reference want = ReferenceBytes(input, widths, leading);
      StringSink sink;
      TabExpander expander(stops, sink, bufferSize);
      FeedPieces(expander, input, pieces);
      expander.Flush();
      Check(sink.m_Data == want.out, "TabExpander output", failures);
      Check(expander.GetColumn() == want.column, "TabExpander column", failures);
      Check(expander.GetTabCount() == want.tabs, "TabExpander count", failures);

      std::unique_ptr<char[]> whole(new char[input.size() + 1]);
      std::memcpy(whole.get(), input.data(), input.size());
      const ExpandedTextSize measured = MeasureExpandedText(whole.get(), input.size(), stops);
      Check(measured.m_nBytes == want.out.size() && measured.m_nTabCount == want.tabs, "MeasureExpandedText", failures);
      std::unique_ptr<char[]> out(new char[want.out.size() + 1]);
      const size_t wrote = ExpandTextInto(whole.get(), input.size(), stops, out.get(), want.out.size());
      Check(std::string(out.get(), wrote) == want.out, "ExpandTextInto", failures);
    }
    {
      const Reference want = ReferenceUtf8(input, widths, leading);
      StringSink sink;
      Utf8Expander expander(stops, sink, bufferSize);
      FeedPieces(expander, input, pieces);
      expander.Finish();
      Check(sink.m_Data == want.out, "Utf8Expander output", failures);
      Check(leading || expander.GetColumn() == want.column, "Utf8Expander column", failures);
      Check(expander.GetTabCount() == want.tabs, "Utf8Expander count", failures);
      // Leading tabs only copies the rest of a line unread: the text stays valid.
      Check(expander.IsValid() == (leading || want.valid), "Utf8Expander validity", failures);
    }
  } else {
    const bool bigEndian = Below(rng, 2) == 0;
    input = RandomUtf16(rng, std::min(length, cap) / 2, bigEndian);
    const std::vector<size_t> pieces = RandomPieces(rng, input.size());
    const Reference want = ReferenceUtf16(input, bigEndian, widths, leading);
    StringSink sink;
    Utf16Expander expander(stops, sink, bigEndian, bufferSize);
    FeedPieces(expander, input, pieces);
    expander.Finish();
    Check(sink.m_Data == want.out, "Utf16Expander output", failures);
    Check(leading || expander.GetColumn() == want.column, "Utf16Expander column", failures);
    Check(expander.GetTabCount() == want.tabs, "Utf16Expander count", failures);
    if (!bigEndian && input.size() % 2 == 0) {
      // The clipboard's form: whole units in the machine's (little-endian) order.
      const size_t units = input.size() / 2;
      std::unique_ptr<char16_t[]> text(new char16_t[units + 1]);
      std::memcpy(text.get(), input.data(), input.size());
      const ExpandedTextSize measured = MeasureExpandedUtf16(text.get(), units, stops);
      Check(measured.m_nBytes == want.out.size() && measured.m_nTabCount == want.tabs, "MeasureExpandedUtf16",
            failures);
      std::unique_ptr<char16_t[]> out(new char16_t[want.out.size() / 2 + 1]);
      const size_t wrote = ExpandUtf16Into(text.get(), units, stops, out.get(), want.out.size() / 2);
      Check(std::string(reinterpret_cast<const char*>(out.get()), wrote * 2) == want.out, "ExpandUtf16Into", failures);
    }
  }
}

void PrintInput(const std::string& input, const std::vector<uint16_t>& widths) {
  std::fprintf(stderr, "%swidths:", g_bLeading ? "leading tabs only, " : "");
  for (uint16_t w : widths) std::fprintf(stderr, " %u", w);
  std::fprintf(stderr, "\ninput (%zu bytes):", input.size());
  for (size_t i = 0; i < input.size() && i < 4096; ++i)
    std::fprintf(stderr, "%s%02X", i % 32 == 0 ? "\n  " : " ", static_cast<unsigned char>(input[i]));
  std::fprintf(stderr, "\n");
}

uint64_t g_nInputs = 0;
uint64_t g_nSeed = 0;

// Under a sanitizer, which ends the process at its first report: say how far
// the run got.
void SayHowFar() {
  std::fprintf(stderr, "expand_fuzz: stopped at input %llu of seed %llu\n", static_cast<unsigned long long>(g_nInputs),
               static_cast<unsigned long long>(g_nSeed));
}

}  // namespace

extern "C" void __sanitizer_set_death_callback(void (*callback)(void)) __attribute__((weak));

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
  const uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10)
                                 : static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
  std::printf("expand_fuzz: seed %llu, %.0f s\n", static_cast<unsigned long long>(seed), seconds);
  std::fflush(stdout);
  g_nSeed = seed;
  if (__sanitizer_set_death_callback != nullptr) __sanitizer_set_death_callback(SayHowFar);
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  uint64_t& inputs = g_nInputs;
  Rng rng(seed);
  while (std::chrono::steady_clock::now() < until) {
    for (int batch = 0; batch < 50; ++batch) {
      std::vector<Failure> failures;
      std::string input;
      std::vector<uint16_t> widths;
      RunOne(rng, failures, input, widths);
      ++inputs;
      if (!failures.empty()) {
        for (const Failure& f : failures) std::fprintf(stderr, "differs: %s\n", f.what.c_str());
        PrintInput(input, widths);
        std::printf("expand_fuzz: input %llu of seed %llu differs\n", static_cast<unsigned long long>(inputs),
                    static_cast<unsigned long long>(seed));
        return 1;
      }
    }
  }
  std::printf("expand_fuzz: %llu inputs, all alike\n", static_cast<unsigned long long>(inputs));
  return 0;
}
