// Host side of the conversion benchmark.
//   convert_bench_host generate source|notabs|dense MEGABYTES FILE
//     writes generated text: source-like CRLF text, the same without tabs,
//     or tab-dense CRLF columns.
//   convert_bench_host expand INPUT OUTPUT [WIDTH]
//     reads INPUT into memory, expands it there with the buffered expander,
//     prints the in-memory speed and writes the result to OUTPUT.
//   convert_bench_host unicode INPUT
//     reads ASCII INPUT, makes the same text in UTF-8 with a few non-ASCII
//     characters a line, and expands in memory, side by side: the ASCII
//     through the byte path, the UTF-8 through the UTF-8 path (and, for
//     comparison, the ASCII through the UTF-8 path and the text in UTF-16).
//   convert_bench_host modes INPUT
//     reads ASCII INPUT and expands it in memory by every path (bytes on the
//     ASCII, UTF-8 and UTF-16 on the text with a few non-ASCII characters a
//     line), side by side: every tab at width 8 as before, leading tabs
//     only, a list of stops that gives the same output ("8, 16, 24"), one
//     that does not ("4, 10, 20"), and leading tabs only with a list; prints
//     the time of each against every tab at width 8 on the same path.
//   convert_bench_host parts INPUT
//     the pieces of a file conversion, each alone, in 64 KB reads as
//     ConvertFile makes them: the encoding check over the ASCII text and
//     over its UTF-8 variant, the byte path over the ASCII, the UTF-8 path
//     over the UTF-8, and check and UTF-8 path together.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "engine/tab_expander.h"
#include "engine/text_encoding.h"
#include "engine/unicode_expanders.h"

namespace {

const char* const kWords[] = {"int",   "return", "if",     "else",  "for",    "while", "const", "char",
                              "count", "buffer", "size_t", "value", "result", "(",     ")",     "{",
                              "}",     "=",      "+",      "->",    "i",      "0",     "1",     "std::string",
                              "//",    "the",    "next",   "line",  "x",      "data",  ";",     "&&"};

// Lines shaped like program text: indented by tabs (none to five levels, one
// or two most often), now and then a blank line or a comment aligned by
// tabs; about 35 bytes and 1.4 tabs a line (program text indented by tabs
// measures about so), CRLF line ends.
std::string SourceLine(std::mt19937& rng, bool tabs) {
  static const int kDepths[] = {0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 3, 3, 4, 5};
  if (rng() % 12 == 0) return "\r\n";
  std::string line;
  const int depth = kDepths[rng() % 20];
  for (int i = 0; i < depth; ++i) line += tabs ? "\t" : "        ";
  const int words = 3 + static_cast<int>(rng() % 9);
  for (int i = 0; i < words; ++i) {
    if (i > 0) line += ' ';
    line += kWords[rng() % (sizeof kWords / sizeof *kWords)];
  }
  if (rng() % 8 == 0) line += tabs ? "\t// the next value" : "        // the next value";
  return line + "\r\n";
}

// Short fields separated by one or more tabs.
std::string DenseLine(std::mt19937& rng) {
  std::string line;
  const int fields = 2 + static_cast<int>(rng() % 10);
  for (int i = 0; i < fields; ++i) {
    line.append(rng() % 6, 'a' + static_cast<char>(rng() % 26));
    line.append(1 + rng() % 2, '\t');
  }
  return line + "\r\n";
}

int Generate(const char* kind, const char* megabytes, const char* path) {
  const size_t size = static_cast<size_t>(std::atol(megabytes)) << 20;
  std::mt19937 rng(12345);
  std::string text;
  text.reserve(size + 256);
  while (text.size() < size) {
    if (std::strcmp(kind, "dense") == 0) text += DenseLine(rng);
    else text += SourceLine(rng, std::strcmp(kind, "source") == 0);
  }
  size_t lines = 0, tabs = 0;
  for (char ch : text) {
    lines += ch == '\n';
    tabs += ch == '\t';
  }
  std::printf("%s: %.1f MB, %zu lines, %.1f bytes and %.2f tabs a line\n", kind, text.size() / 1e6, lines,
              static_cast<double>(text.size()) / lines, static_cast<double>(tabs) / lines);
  return WriteWholeFile(path, text) ? 0 : 1;
}

class StringSink : public ByteSink {
 public:
  explicit StringSink(std::string& out) : m_Out(out) {}
  void Write(const char* data, size_t size) override { m_Out.append(data, size); }

 private:
  std::string& m_Out;
};

int Expand(const char* input, const char* output, int width) {
  std::string in;
  if (!ReadWholeFile(input, &in)) {
    std::fprintf(stderr, "cannot read %s\n", input);
    return 1;
  }
  // A first, untimed run sizes the output and touches its pages: the timed
  // run measures the expansion, not the system's page faults.
  std::string out;
  double seconds = 0;
  uint64_t tabCount = 0;
  for (int run = 0; run < 2; ++run) {
    out.clear();
    StringSink sink(out);
    const auto start = std::chrono::steady_clock::now();
    TabExpander expander(TabStopList(static_cast<uint16_t>(width)), sink);
    expander.Expand(in.data(), in.size());
    expander.Flush();
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    tabCount = expander.GetTabCount();
  }
  std::printf("%.1f MB/s in memory (%.3f s, %llu tabs)\n", in.size() / seconds / 1e6, seconds,
              static_cast<unsigned long long>(tabCount));
  return WriteWholeFile(output, out) ? 0 : 1;
}

// The same text with a few letters a line made non-ASCII: every 9th letter
// accented (2 bytes) and, if asked, every 31st an ideograph (3 bytes, two
// columns wide).
std::string Utf8Variant(const std::string& ascii, bool ideographs) {
  static const char* const kAccented[26] = {
      "\xC3\xA1", "b", "\xC3\xA7", "d", "\xC3\xA9", "f", "g", "h", "\xC3\xAD", "j", "k", "\xC5\x82", "m",
      "\xC3\xB1", "\xC3\xB3", "p", "q", "r", "\xC5\xA1", "t", "\xC3\xBC", "v", "w", "x", "\xC3\xBD", "\xC5\xBE"};
  std::string out;
  out.reserve(ascii.size() + ascii.size() / 8);
  size_t letters = 0;
  for (char ch : ascii) {
    if (ch >= 'a' && ch <= 'z') {
      ++letters;
      if (ideographs && letters % 31 == 0) {
        out += "\xE4\xB8\xAD";
        continue;
      }
      if (letters % 9 == 0) {
        out += kAccented[ch - 'a'];
        continue;
      }
    }
    out += ch;
  }
  return out;
}

std::string Utf16Variant(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size() * 2 + 2);
  out += "\xFF\xFE";
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char b = static_cast<unsigned char>(utf8[i]);
    uint32_t ch = b;
    int n = 1;
    if (b >= 0xE0) ch = b & 0x0F, n = 3;
    else if (b >= 0xC0) ch = b & 0x1F, n = 2;
    for (int k = 1; k < n; ++k) ch = (ch << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    out += static_cast<char>(ch & 0xFF);
    out += static_cast<char>(ch >> 8);
    i += static_cast<size_t>(n);
  }
  return out;
}

class NullSink : public ByteSink {
 public:
  void Write(const char*, size_t size) override { m_nBytes += size; }
  uint64_t m_nBytes = 0;
};

struct Timing {
  double seconds;
  uint64_t tabs;
  uint64_t bytes;
};

// One path's best run into a sink that only counts: the expansion alone,
// the least disturbed by the other work on a shared machine.
struct Path {
  std::function<uint64_t(ByteSink&)> run;
  Timing best{1e30, 0, 0};
};

// The paths in turn, many rounds: a burst of load on the machine slows
// them all alike rather than one.
void TimeInTurn(std::vector<Path*> paths, int rounds) {
  for (int r = 0; r < rounds; ++r) {
    for (Path* path : paths) {
      NullSink sink;
      const auto start = std::chrono::steady_clock::now();
      const uint64_t tabs = path->run(sink);
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (seconds < path->best.seconds) path->best = {seconds, tabs, sink.m_nBytes};
    }
  }
}

int Unicode(const char* input) {
  std::string ascii;
  if (!ReadWholeFile(input, &ascii)) {
    std::fprintf(stderr, "cannot read %s\n", input);
    return 1;
  }
  for (char ch : ascii)
    if (static_cast<unsigned char>(ch) >= 0x80) {
      std::fprintf(stderr, "%s is not ASCII\n", input);
      return 1;
    }
  const std::string utf8 = Utf8Variant(ascii, true);
  const std::string accents = Utf8Variant(ascii, false);
  const std::string utf16 = Utf16Variant(utf8);
  size_t lines = 0, nonAscii = 0;
  for (char ch : utf8) {
    lines += ch == '\n';
    nonAscii += (static_cast<unsigned char>(ch) & 0xC0) == 0xC0;
  }
  const TabStopList stops(8);
  auto bytePath = [&](const std::string& text) {
    return [&](ByteSink& sink) {
      TabExpander expander(stops, sink);
      expander.Expand(text.data(), text.size());
      expander.Flush();
      return expander.GetTabCount();
    };
  };
  auto utf8Path = [&](const std::string& text) {
    return [&](ByteSink& sink) {
      Utf8Expander expander(stops, sink);
      expander.Expand(text.data(), text.size());
      expander.Finish();
      return expander.GetTabCount();
    };
  };
  Path bytePathAscii{bytePath(ascii)}, utf8PathUtf8{utf8Path(utf8)}, utf8PathAccents{utf8Path(accents)},
      utf8PathAscii{utf8Path(ascii)};
  Path utf16Path{[&](ByteSink& sink) {
    Utf16Expander expander(stops, sink, false);
    expander.Expand(utf16.data(), utf16.size());
    expander.Finish();
    return expander.GetTabCount();
  }};
  TimeInTurn({&bytePathAscii, &utf8PathUtf8, &utf8PathAccents, &utf8PathAscii}, 15);
  TimeInTurn({&utf16Path}, 3);
  const Timing bytes = bytePathAscii.best, unicode = utf8PathUtf8.best, accented = utf8PathAccents.best,
               asciiUtf8 = utf8PathAscii.best, wide = utf16Path.best;
  if (bytes.tabs != unicode.tabs || bytes.tabs != accented.tabs || bytes.tabs != asciiUtf8.tabs ||
      bytes.tabs != wide.tabs ||
      bytes.bytes != asciiUtf8.bytes) {
    std::fprintf(stderr, "the paths disagree on the tabs or the output\n");
    return 1;
  }
  auto mbps = [](size_t size, const Timing& t) { return size / t.seconds / 1e6; };
  std::printf("UTF-8 text: %.1f MB, %.2f non-ASCII characters a line\n", utf8.size() / 1e6,
              static_cast<double>(nonAscii) / static_cast<double>(lines));
  std::printf("%-34s %8.1f MB/s (%.3f s)\n", "byte path, ASCII text", mbps(ascii.size(), bytes), bytes.seconds);
  std::printf("%-34s %8.1f MB/s (%.3f s)  %.2f of the byte path\n", "UTF-8 path, UTF-8 text",
              mbps(utf8.size(), unicode), unicode.seconds, mbps(utf8.size(), unicode) / mbps(ascii.size(), bytes));
  std::printf("%-34s %8.1f MB/s (%.3f s)  %.2f of the byte path\n", "UTF-8 path, accented letters only",
              mbps(accents.size(), accented), accented.seconds,
              mbps(accents.size(), accented) / mbps(ascii.size(), bytes));
  std::printf("%-34s %8.1f MB/s (%.3f s)  %.2f of the byte path\n", "UTF-8 path, ASCII text",
              mbps(ascii.size(), asciiUtf8), asciiUtf8.seconds,
              mbps(ascii.size(), asciiUtf8) / mbps(ascii.size(), bytes));
  std::printf("%-34s %8.1f MB/s (%.3f s)\n", "UTF-16 path, the text in UTF-16", mbps(utf16.size(), wide),
              wide.seconds);
  return 0;
}

// The pieces of ConvertFile's work on a file, in its 64 KB reads.
int Parts(const char* input) {
  std::string ascii;
  if (!ReadWholeFile(input, &ascii)) {
    std::fprintf(stderr, "cannot read %s\n", input);
    return 1;
  }
  const std::string utf8 = Utf8Variant(ascii, true);
  const TabStopList stops(8);
  static constexpr size_t kRead = 64 * 1024;
  auto inReads = [](const std::string& text, const std::function<void(const char*, size_t)>& step) {
    for (size_t at = 0; at < text.size(); at += kRead) step(text.data() + at, std::min(kRead, text.size() - at));
  };
  auto detect = [&](const std::string& text) {
    return [&](ByteSink&) {
      EncodingDetector detector;
      inReads(text, [&](const char* p, size_t n) { detector.Feed(p, n); });
      detector.Finish();
      return static_cast<uint64_t>(detector.GetEncoding());
    };
  };
  Path detectAscii{detect(ascii)}, detectUtf8{detect(utf8)};
  Path bytes{[&](ByteSink& sink) {
    TabExpander expander(stops, sink, kRead);
    inReads(ascii, [&](const char* p, size_t n) { expander.Expand(p, n); });
    expander.Flush();
    return expander.GetTabCount();
  }};
  Path expandUtf8{[&](ByteSink& sink) {
    Utf8Expander expander(stops, sink, kRead);
    inReads(utf8, [&](const char* p, size_t n) { expander.Expand(p, n); });
    expander.Finish();
    return expander.GetTabCount();
  }};
  Path both{[&](ByteSink& sink) {
    EncodingDetector detector;
    Utf8Expander expander(stops, sink, kRead);
    inReads(utf8, [&](const char* p, size_t n) {
      detector.Feed(p, n);
      expander.Expand(p, n);
    });
    detector.Finish();
    expander.Finish();
    return expander.GetTabCount();
  }};
  TimeInTurn({&detectAscii, &detectUtf8, &bytes, &expandUtf8, &both}, 7);
  auto line = [&](const char* name, size_t size, const Path& path) {
    std::printf("%-34s %8.1f MB/s (%.3f s)\n", name, size / path.best.seconds / 1e6, path.best.seconds);
  };
  line("check, ASCII text", ascii.size(), detectAscii);
  line("check, UTF-8 text", utf8.size(), detectUtf8);
  line("byte path, ASCII text", ascii.size(), bytes);
  line("UTF-8 path, UTF-8 text", utf8.size(), expandUtf8);
  line("check and UTF-8 path, UTF-8 text", utf8.size(), both);
  if (detectUtf8.best.tabs != static_cast<uint64_t>(TextEncoding::kUtf8) || bytes.best.tabs != both.best.tabs) {
    std::fprintf(stderr, "the check or the paths disagree\n");
    return 1;
  }
  return 0;
}

// The modes side by side on each path.
int Modes(const char* input) {
  std::string ascii;
  if (!ReadWholeFile(input, &ascii)) {
    std::fprintf(stderr, "cannot read %s\n", input);
    return 1;
  }
  const std::string utf8 = Utf8Variant(ascii, true);
  const std::string utf16 = Utf16Variant(utf8);
  auto leading = [](TabStopList stops) {
    stops.SetLeadingOnly(true);
    return stops;
  };
  const struct {
    const char* name;
    TabStopList stops;
  } modes[] = {
      {"every tab, 8", TabStopList(8)},
      {"leading only, 8", leading(TabStopList(8))},
      {"list 8, 16, 24", ReadTabBoxText("8, 16, 24").m_Stops},
      {"list 4, 10, 20", ReadTabBoxText("4, 10, 20").m_Stops},
      {"leading only, list 4, 10, 20", leading(ReadTabBoxText("4, 10, 20").m_Stops)},
  };
  constexpr size_t kModes = sizeof modes / sizeof modes[0];
  const struct {
    const char* name;
    const std::string* text;
    int kind;  // 0 bytes, 1 UTF-8, 2 UTF-16
  } paths[] = {{"byte path, ASCII", &ascii, 0}, {"UTF-8 path, UTF-8", &utf8, 1}, {"UTF-16 path, UTF-16", &utf16, 2}};
  int status = 0;
  std::printf("%-20s %-30s %10s %9s %9s %8s\n", "path", "mode", "MB/s", "s", "out MB", "ratio");
  for (const auto& path : paths) {
    std::vector<Path> runs;
    for (const auto& mode : modes) {
      const TabStopList& stops = mode.stops;
      const std::string& text = *path.text;
      const int kind = path.kind;
      runs.push_back(Path{[&stops, &text, kind](ByteSink& sink) -> uint64_t {
        if (kind == 0) {
          TabExpander expander(stops, sink);
          expander.Expand(text.data(), text.size());
          expander.Flush();
          return expander.GetTabCount();
        }
        if (kind == 1) {
          Utf8Expander expander(stops, sink);
          expander.Expand(text.data(), text.size());
          expander.Finish();
          return expander.GetTabCount();
        }
        Utf16Expander expander(stops, sink, false);
        expander.Expand(text.data(), text.size());
        expander.Finish();
        return expander.GetTabCount();
      }});
    }
    std::vector<Path*> order;
    for (Path& run : runs) order.push_back(&run);
    TimeInTurn(order, path.kind == 2 ? 3 : 9);
    const double today = runs[0].best.seconds;
    for (size_t m = 0; m < kModes; ++m) {
      const Timing& t = runs[m].best;
      const double ratio = t.seconds / today;
      std::printf("%-20s %-30s %10.1f %9.3f %9.1f %7.2fx%s\n", path.name, modes[m].name,
                  path.text->size() / t.seconds / 1e6, t.seconds, t.bytes / 1e6, ratio,
                  m > 0 && ratio > 1.3 ? "  ABOVE 1.3" : "");
    }
    // The same stops as a list: the same output.
    if (runs[2].best.bytes != runs[0].best.bytes || runs[2].best.tabs != runs[0].best.tabs) {
      std::fprintf(stderr, "the list 8, 16, 24 and the width 8 disagree\n");
      status = 1;
    }
  }
  std::printf("(ratio: the time against every tab at width 8 on the same path; target <= 1.3)\n");
  return status;
}

// Writes the UTF-8 variant of an ASCII text (the one the unicode job times)
// to a file, for ConvertFile to convert as a whole process.
int WriteUtf8(const char* input, const char* output) {
  std::string ascii;
  if (!ReadWholeFile(input, &ascii)) {
    std::fprintf(stderr, "cannot read %s\n", input);
    return 1;
  }
  return WriteWholeFile(output, Utf8Variant(ascii, true)) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "generate") == 0) return Generate(argv[2], argv[3], argv[4]);
  if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "expand") == 0)
    return Expand(argv[2], argv[3], argc == 5 ? std::atoi(argv[4]) : 8);
  if (argc == 3 && std::strcmp(argv[1], "unicode") == 0) return Unicode(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "parts") == 0) return Parts(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "modes") == 0) return Modes(argv[2]);
  if (argc == 4 && std::strcmp(argv[1], "utf8") == 0) return WriteUtf8(argv[2], argv[3]);
  std::fprintf(stderr,
               "usage: convert_bench_host generate source|notabs|dense MEGABYTES FILE\n"
               "       convert_bench_host expand INPUT OUTPUT [WIDTH]\n"
               "       convert_bench_host unicode INPUT\n"
               "       convert_bench_host parts INPUT\n"
               "       convert_bench_host modes INPUT\n"
               "       convert_bench_host utf8 INPUT OUTPUT\n");
  return 2;
}
