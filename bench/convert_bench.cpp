// Windows side of the conversion benchmark, and the demonstration of the
// conversion for the run script.
//   convert_bench convert SOURCE DESTINATION [WIDTH]  ConvertFile
//   convert_bench copy SOURCE DESTINATION             CopyFileA, for comparison
//   convert_bench inplace FILE [WIDTH]                ConvertFileInPlace
//   convert_bench pieces FILE [WIDTH]                 the same work in its pieces, one
//     line each: a new file beside it, the conversion into it, each step of
//     the replacement; and other ways to replace, for comparison
//   convert_bench multiple PATTERN                    ConvertFileInPlace on each match,
//     as Convert Multiple Files does (VELMORA_BENCH_NO_FLUSH set: without the
//     flush of each copy, to see its cost)
//   convert_bench floor PATTERN                       the same file work for each match
//     without converting: read it whole, a new file beside it, the same bytes
//     written, flushed, ReplaceFileA
//   convert_bench floor-tree FOLDER                   the same over every file in the folder
//     and the folders below it, as the walk of "Include subfolders" finds them
//     (the walk timed too, as the command's time holds its walk)
//   convert_bench inplace-tree FOLDER                 ConvertFileInPlace on every file the walk of
//     "Include subfolders" finds below FOLDER (the walk timed too), beside floor-tree
//   convert_bench read PATTERN                        each match read whole, nothing written
// The PATTERN modes print "timed SECONDS" for the whole loop.
// With VELMORA_BENCH_TIME set, the time of the operation itself goes to stderr.
// Wine starts its GUI side on the first cursor change of a process (0.1 s and
// more); the program has done so long before its first conversion (its
// commands show the wait cursor), so that happens before the timed call here
// (it still counts in the process's time).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/convert.h"
#include "engine/folder_walk.h"
#include "engine/replace_file.h"
#include "framework/handle.h"
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

void Lap(const char* what, double& start) {
  const double now = Seconds();
  std::fprintf(stderr, "%-34s %.3f\n", what, now - start);
  start = now;
}

// The outcome as the results of Convert Multiple Files put it.
std::string Describe(const ConvertResult& result) {
  switch (result.m_Outcome) {
    case ConvertOutcome::kFailed: return "Error converting file: " + result.m_strError;
    case ConvertOutcome::kNotText: return "Not a text file. Tabs not converted.";
    case ConvertOutcome::kCopyFailed:
      return TabsConvertedText(result.m_nTabCount) + " - Copy failed. Tabs not converted.";
    case ConvertOutcome::kCopyKept: return TabsConvertedText(result.m_nTabCount) + " - kept in " + result.m_strKept;
    case ConvertOutcome::kLink: return "A link. Tabs not converted.";
    case ConvertOutcome::kSeveralNames: return "Hard links. Tabs not converted.";
    case ConvertOutcome::kConverted: break;
  }
  return TabsConvertedText(result.m_nTabCount);
}

int InPlace(const char* path, const TabStopList& stops) {
  { CWaitCursor guiStart; }
  double start = Seconds();
  const ConvertResult result = ConvertFileInPlace(path, stops);
  Lap("ConvertFileInPlace", start);
  std::printf("%s\n", Describe(result).c_str());
  return 0;
}

int Pieces(const char* path, const TabStopList& stops) {
  { CWaitCursor guiStart; }
  double start = Seconds();
  std::string folder(path);
  folder.erase(folder.find_last_of("\\/:") + 1);
  std::string copy;
  start = Seconds();
  if (!CreateSiblingFile(folder, copy)) return 1;
  Lap("  a new file beside it", start);
  // ConvertFileInPlace writes into the new file as it is; ConvertFile would
  // empty an existing one (which costs a flush on ext4), so it makes it anew.
  DeleteFileA(copy.c_str());
  ConvertFile(path, copy, stops);
  Lap("  the conversion into it", start);
  const DWORD attributes = GetFileAttributesA(path);
  GetFileAttributesA(copy.c_str());
  Lap("  the attributes of both", start);
  HANDLE writable = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  CloseHandle(writable);
  Lap("  the check that it may be written", start);
  SetFileAttributesA(copy.c_str(), attributes & FILE_ATTRIBUTE_ARCHIVE ? FILE_ATTRIBUTE_ARCHIVE : FILE_ATTRIBUTE_NORMAL);
  Lap("  the attributes given", start);
  const BOOL replaced = ReplaceFileA(path, copy.c_str(), nullptr, REPLACEFILE_WRITE_THROUGH, nullptr, nullptr);
  Lap(replaced ? "  ReplaceFileA (write-through)" : "  ReplaceFileA failed", start);
  // Once more without write-through, and as a rename, for comparison.
  if (CreateSiblingFile(folder, copy) && CopyFileA(path, copy.c_str(), FALSE)) {
    start = Seconds();
    ReplaceFileA(path, copy.c_str(), nullptr, 0, nullptr, nullptr);
    Lap("  ReplaceFileA (no flags)", start);
  }
  if (CreateSiblingFile(folder, copy) && CopyFileA(path, copy.c_str(), FALSE)) {
    start = Seconds();
    MoveFileExA(copy.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    Lap("  MoveFileExA (write-through)", start);
  }
  return replaced ? 0 : 1;
}

// The matches of a pattern, as full paths, listed before anything is timed.
std::vector<std::string> Matches(const std::string& pattern) {
  std::string folder = pattern;
  folder.erase(folder.find_last_of("\\/") + 1);
  std::vector<std::string> paths;
  for (CFindFile found(pattern.c_str()); found.IsValid(); found.Next())
    if (!(found.Data().dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) paths.push_back(folder + found.Name());
  return paths;
}

BOOL WINAPI NoFlush(HANDLE) { return TRUE; }

int Multiple(const std::string& pattern) {
  { CWaitCursor guiStart; }
  const std::vector<std::string> paths = Matches(pattern);
  if (std::getenv("VELMORA_BENCH_NO_FLUSH") != nullptr) {
    CReplaceFileRoutines routines = ReplaceFileRoutines();
    routines.flushFileBuffers = NoFlush;
    SetReplaceFileRoutines(routines);
  }
  const TabStopList stops(8);
  int failed = 0;
  const double start = Seconds();
  for (const std::string& path : paths) failed += ConvertFileInPlace(path, stops).m_Outcome != ConvertOutcome::kConverted;
  std::printf("timed %.3f\n%zu files, %d not converted\n", Seconds() - start, paths.size(), failed);
  return failed == 0 ? 0 : 1;
}

// Reads the whole file through a 64 KB buffer, handing each piece to `use`.
template <typename Use>
bool ReadWhole(const std::string& path, std::vector<char>& buffer, Use use) {
  const CHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file.IsValid()) return false;
  DWORD got = 0;
  while (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got > 0)
    if (!use(buffer.data(), got)) return false;
  return true;
}

// The floor's file work on each path; the time counts from `start`.
int FloorOf(const std::vector<std::string>& paths, double start) {
  std::vector<char> buffer(64 * 1024);
  int failed = 0;
  for (const std::string& path : paths) {
    std::string folder = path;
    folder.erase(folder.find_last_of("\\/") + 1);
    std::string copy;
    if (!CreateSiblingFile(folder, copy)) {
      ++failed;
      continue;
    }
    bool written = false;
    {
      const CHandle out(CreateFileA(copy.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      written = out.IsValid() && ReadWhole(path, buffer, [&](const char* data, DWORD size) {
                  DWORD put = 0;
                  return WriteFile(out, data, size, &put, nullptr) && put == size;
                }) && FlushFileBuffers(out);
    }
    if (!written || !ReplaceFileA(path.c_str(), copy.c_str(), nullptr, 0, nullptr, nullptr)) {
      DeleteFileA(copy.c_str());
      ++failed;
    }
  }
  std::printf("timed %.3f\n%zu files, %d failed\n", Seconds() - start, paths.size(), failed);
  return failed == 0 ? 0 : 1;
}

int Floor(const std::string& pattern) {
  { CWaitCursor guiStart; }
  const std::vector<std::string> paths = Matches(pattern);
  return FloorOf(paths, Seconds());
}

int FloorTree(std::string folder) {
  { CWaitCursor guiStart; }
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  const double start = Seconds();
  std::vector<std::string> paths = ListFilesBelow(folder, "*");
  for (std::string& path : paths) path.insert(0, folder);
  return FloorOf(paths, start);
}

int InPlaceTree(std::string folder) {
  { CWaitCursor guiStart; }
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  const double start = Seconds();
  std::vector<std::string> paths = ListFilesBelow(folder, "*");
  const TabStopList stops(8);
  int failed = 0;
  for (std::string& path : paths) {
    path.insert(0, folder);
    const ConvertResult result = ConvertFileInPlace(path, stops);
    failed += result.m_Outcome != ConvertOutcome::kConverted;
  }
  std::printf("timed %.3f\n%zu files, %d not converted\n", Seconds() - start, paths.size(), failed);
  return failed == 0 ? 0 : 1;
}

int ReadAll(const std::string& pattern) {
  { CWaitCursor guiStart; }
  const std::vector<std::string> paths = Matches(pattern);
  std::vector<char> buffer(64 * 1024);
  uint64_t bytes = 0;
  const double start = Seconds();
  for (const std::string& path : paths) ReadWhole(path, buffer, [&](const char*, DWORD size) { return (bytes += size), true; });
  std::printf("timed %.3f\n%zu files, %llu bytes\n", Seconds() - start, paths.size(),
              static_cast<unsigned long long>(bytes));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "convert") == 0) {
    { CWaitCursor guiStart; }
    const double start = Seconds();
    const ConvertResult result =
        ConvertFile(argv[2], argv[3], TabStopList(TabWidthFromText(argc == 5 ? argv[4] : "8")));
    ReportTime(start);
    std::printf("%s\n", Describe(result).c_str());
    return result.m_Outcome == ConvertOutcome::kConverted ? 0 : 1;
  }
  if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "inplace") == 0)
    return InPlace(argv[2], TabStopList(TabWidthFromText(argc == 4 ? argv[3] : "8")));
  if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "pieces") == 0)
    return Pieces(argv[2], TabStopList(TabWidthFromText(argc == 4 ? argv[3] : "8")));
  if (argc == 3 && std::strcmp(argv[1], "multiple") == 0) return Multiple(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "floor") == 0) return Floor(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "floor-tree") == 0) return FloorTree(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "inplace-tree") == 0) return InPlaceTree(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "read") == 0) return ReadAll(argv[2]);
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
               "       convert_bench copy SOURCE DESTINATION\n"
               "       convert_bench inplace FILE [WIDTH]\n"
               "       convert_bench pieces FILE [WIDTH]\n"
               "       convert_bench multiple|floor|read PATTERN\n"
               "       convert_bench floor-tree FOLDER\n");
  return 2;
}
