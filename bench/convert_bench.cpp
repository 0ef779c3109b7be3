// Windows side of the conversion benchmark, and the demonstration of the
// conversion for the run script.
//   convert_bench convert SOURCE DESTINATION [WIDTH]  ConvertFile in batch mode
//   convert_bench copy SOURCE DESTINATION             CopyFileA, for comparison
// With VELMORA_BENCH_TIME set, the time of the operation itself goes to stderr.
// Wine starts its GUI side on the first cursor change of a process (0.1 s and
// more); the program has done so long before its first conversion, so that
// happens before the timed call here (it still counts in the process's time).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/convert.h"
#include "framework/wait_cursor.h"

namespace {

double Seconds() {
  LARGE_INTEGER frequency, count;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&count);
  return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void ReportTime(double start) {
  if (std::getenv("VELMORA_BENCH_TIME") != nullptr) std::fprintf(stderr, "in-process %.3f\n", Seconds() - start);
}

}  // namespace

int main(int argc, char** argv) {
  if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "convert") == 0) {
    std::string report;
    { CWaitCursor guiStart; }
    const double start = Seconds();
    const int result =
        ConvertFile(argv[2], argv[3], TabStopList(TabWidthFromText(argc == 5 ? argv[4] : "8")), &report);
    ReportTime(start);
    std::printf("%s\n", report.c_str());
    return result >= 0 ? 0 : 1;
  }
  if (argc == 4 && std::strcmp(argv[1], "copy") == 0) {
    const double start = Seconds();
    const BOOL copied = CopyFileA(argv[2], argv[3], FALSE);
    ReportTime(start);
    if (copied) return 0;
    std::printf("CopyFileA failed: %lu\n", GetLastError());
    return 1;
  }
  std::fprintf(stderr,
               "usage: convert_bench convert SOURCE DESTINATION [WIDTH]\n"
               "       convert_bench copy SOURCE DESTINATION\n");
  return 2;
}
