// Host side of the conversion benchmark.
//   convert_bench_host generate source|notabs|dense MEGABYTES FILE
//     writes generated text: source-like CRLF text, the same without tabs,
//     or tab-dense CRLF columns.
//   convert_bench_host expand INPUT OUTPUT [WIDTH]
//     reads INPUT into memory, expands it there with the buffered expander,
//     prints the in-memory speed and writes the result to OUTPUT.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "bench/bench_files.h"
#include "engine/tab_expander.h"

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

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "generate") == 0) return Generate(argv[2], argv[3], argv[4]);
  if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "expand") == 0)
    return Expand(argv[2], argv[3], argc == 5 ? std::atoi(argv[4]) : 8);
  std::fprintf(stderr,
               "usage: convert_bench_host generate source|notabs|dense MEGABYTES FILE\n"
               "       convert_bench_host expand INPUT OUTPUT [WIDTH]\n");
  return 2;
}
