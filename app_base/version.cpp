#include "app_base/version.h"

#include <cstdio>
#include <cstring>
#include <vector>

std::string VersionTextFromFileVersion(DWORD versionMS, DWORD versionLS) {
  char text[64];
  std::snprintf(text, sizeof text, "%d.%02d", static_cast<int>(HIWORD(versionMS)),
                static_cast<int>(LOWORD(versionMS)));
  std::string result = text;
  int beta = HIWORD(versionLS);
  if (beta >= 1 && beta <= 99) {
    std::snprintf(text, sizeof text, " Beta %d", beta);
    result += text;
  }
  return result;
}

std::string VersionTextFromBlock(const void* block) {
  if (block == nullptr) return std::string();
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block, "\\", &value, &length) || value == nullptr ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    return std::string();
  }
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
  return VersionTextFromFileVersion(info->dwFileVersionMS, info->dwFileVersionLS);
}

std::string GetVersionText() {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));
  if (resource == nullptr) return std::string();
  HGLOBAL loaded = LoadResource(module, resource);
  if (loaded == nullptr) return std::string();
  const void* data = LockResource(loaded);
  if (data == nullptr) return std::string();
  // VerQueryValueA may write behind the block it is given: hand it a copy
  // with room, never the read-only resource itself.
  DWORD size = SizeofResource(module, resource);
  std::vector<char> copy(static_cast<size_t>(size) * 2 + 16, 0);
  std::memcpy(copy.data(), data, size);
  return VersionTextFromBlock(copy.data());
}
