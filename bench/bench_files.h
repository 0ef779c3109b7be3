#pragma once
// Whole-file reads and writes for the benchmark programs (host and Windows).
#include <cstdio>
#include <string>

// The whole content of path; false when it cannot be read.
inline bool ReadWholeFile(const char* path, std::string* data) {
  FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return false;
  std::fseek(f, 0, SEEK_END);
  data->resize(static_cast<size_t>(std::ftell(f)));
  std::fseek(f, 0, SEEK_SET);
  const bool ok = data->empty() || std::fread(&(*data)[0], 1, data->size(), f) == data->size();
  std::fclose(f);
  return ok;
}

// Writes data to path, replacing the file; false on failure.
inline bool WriteWholeFile(const char* path, const std::string& data) {
  FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}
