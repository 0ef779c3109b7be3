#include "tests/destination/host_space.h"

#include <cstdio>
#include <cstdlib>

#include "tests/support/temp_dir.h"

bool ReadHostSpace(char letter, HostSpace* space) {
  std::string path = "Z:" + std::string(VELMORA_DRIVE_D_DIR) + "/free-space.txt";
  for (char& ch : path)
    if (ch == '/') ch = '\\';
  std::string text;
  if (!ReadWholeFile(path, &text)) return false;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    char found = 0;
    HostSpace read;
    if (std::sscanf(line.c_str(), "%c %llu %llu %llu", &found, &read.freeKB, &read.blockBytes,
                    &read.driftKB) == 4 &&
        found == letter) {
      *space = read;
      return true;
    }
    start = end + 1;
  }
  return false;
}

::testing::AssertionResult MatchesHostSpace(const HostSpace& host, unsigned long long kb,
                                            const std::initializer_list<unsigned long long>& writtenBytes) {
  // Each file takes whole blocks.
  unsigned long long used = 0;
  for (unsigned long long bytes : writtenBytes) {
    used += (bytes + host.blockBytes - 1) / host.blockBytes * host.blockBytes;
  }
  const unsigned long long expected = host.freeKB - used / 1024;
  const unsigned long long off = kb > expected ? kb - expected : expected - kb;
  if (off <= host.driftKB) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << kb << " KB where the host counts " << expected
                                       << " KB (allowing " << host.driftKB << " KB of change)";
}

unsigned long long ShownKB(const std::string& shown) {
  if (shown.size() <= 3 || shown.compare(shown.size() - 3, 3, " KB") != 0) return 0;
  return std::strtoull(shown.c_str(), nullptr, 10);
}
