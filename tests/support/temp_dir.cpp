#include "tests/support/temp_dir.h"

#include <windows.h>

#include <stdexcept>

#include "framework/handle.h"

CTempDir::CTempDir() {
  char base[MAX_PATH];
  const DWORD length = GetTempPathA(MAX_PATH, base);
  if (length == 0 || length >= MAX_PATH) throw std::runtime_error("no temporary folder");
  // Process id and a counter keep parallel test processes apart.
  static unsigned counter = 0;
  for (;;) {
    m_strPath = std::string(base) + "velmora-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++counter);
    if (CreateDirectoryA(m_strPath.c_str(), nullptr)) return;
    if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create " + m_strPath);
  }
}

CTempDir::~CTempDir() { RemoveTree(m_strPath); }

bool WriteWholeFile(const std::string& path, const std::string& data) {
  CHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
  file.Close();
  return ok && written == data.size();
}

bool ReadWholeFile(const std::string& path, std::string* data) {
  CHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return false;
  data->clear();
  char buffer[65536];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr) != FALSE) && got > 0) data->append(buffer, got);
  return ok;
}

void RemoveTree(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileA(path.c_str());
    return;
  }
  for (const WIN32_FIND_DATAA& found : CFindFile((path + "\\*").c_str())) {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") RemoveTree(path + "\\" + name);
  }
  RemoveDirectoryA(path.c_str());
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string OwnFolder() {
  char path[MAX_PATH];
  std::string own(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  return own.substr(0, own.find_last_of('\\') + 1);
}

std::string CurrentDirectory() {
  char buffer[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, buffer);
  return buffer;
}

std::string Lower(std::string text) {
  if (!text.empty()) CharLowerA(&text[0]);
  return text;
}

CCurrentDirectoryKeeper::~CCurrentDirectoryKeeper() { SetCurrentDirectoryA(m_strSaved.c_str()); }
