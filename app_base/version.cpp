#include "app_base/version.h"

#include <cstdio>
#include <cstring>

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
  // VS_VERSIONINFO read by hand (the version library is no system DLL that
  // Windows always takes from the system folder): WORD length, WORD length
  // of the value, WORD type, the key L"VS_VERSION_INFO" with its zero, then
  // the value, VS_FIXEDFILEINFO, at the next 32-bit boundary.
  if (block == nullptr) return std::string();
  const auto* bytes = static_cast<const unsigned char*>(block);
  WORD header[3];
  std::memcpy(header, bytes, sizeof header);
  const size_t total = header[0];
  const size_t valueLength = header[1];
  static const wchar_t kKey[] = L"VS_VERSION_INFO";
  const size_t keyOffset = sizeof header;
  const size_t valueOffset = (keyOffset + sizeof kKey + 3) & ~static_cast<size_t>(3);
  if (valueLength < sizeof(VS_FIXEDFILEINFO) || total < valueOffset + sizeof(VS_FIXEDFILEINFO)) return std::string();
  if (std::memcmp(bytes + keyOffset, kKey, sizeof kKey) != 0) return std::string();
  VS_FIXEDFILEINFO info;
  std::memcpy(&info, bytes + valueOffset, sizeof info);
  if (info.dwSignature != 0xFEEF04BD) return std::string();
  return VersionTextFromFileVersion(info.dwFileVersionMS, info.dwFileVersionLS);
}

std::string GetVersionText() {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));
  if (resource == nullptr) return std::string();
  HGLOBAL loaded = LoadResource(module, resource);
  if (loaded == nullptr) return std::string();
  const void* data = LockResource(loaded);
  // The block's own length must lie within the resource.
  const DWORD size = SizeofResource(module, resource);
  WORD length = 0;
  if (data == nullptr || size < sizeof length) return std::string();
  std::memcpy(&length, data, sizeof length);
  if (length > size) return std::string();
  return VersionTextFromBlock(data);
}
