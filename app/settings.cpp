#include "app/settings.h"

#include <cstring>
#include <vector>

#include "framework/reg_key.h"
#include "framework/win_app.h"

namespace {

// The location used while the application object has none.
std::string g_strRegistryKey;
std::string g_strProfileName;

const CWinApp* LocatingApp() {
  const CWinApp* app = AfxGetApp();
  return app != nullptr && !app->m_strRegistryKey.empty() ? app : nullptr;
}

constexpr REGSAM kProfileAccess = KEY_READ | KEY_WRITE;
constexpr DWORD kRegistryStringLimit = 512;

// Opens HKCU\Software (never created), then creates or opens the registry key,
// the profile and the section beneath it, one level at a time.
bool OpenSectionKey(const char* section, CRegKey& sectionKey) {
  const std::string registryKey = GetProfileRegistryKey();
  const std::string profileName = GetProfileName();
  // An empty name would make RegCreateKeyExA reopen the parent and spill the
  // entries one level up.
  if (registryKey.empty() || profileName.empty() || section == nullptr || *section == '\0')
    return false;
  CRegKey software;
  if (software.Open(HKEY_CURRENT_USER, "Software", kProfileAccess) != ERROR_SUCCESS) return false;
  CRegKey company;
  if (company.Create(software, registryKey.c_str(), kProfileAccess) != ERROR_SUCCESS) return false;
  CRegKey profile;
  if (profile.Create(company, profileName.c_str(), kProfileAccess) != ERROR_SUCCESS) return false;
  return sectionKey.Create(profile, section, kProfileAccess) == ERROR_SUCCESS;
}

// Reads a REG_SZ value whole, whatever its length; the text ends at the first
// zero byte (a value stored without one is taken whole).
bool QueryString(HKEY key, const char* valueName, std::string& text) {
  std::vector<char> data(256);
  for (;;) {
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>(data.size());
    LONG result = RegQueryValueExA(key, valueName, nullptr, &type,
                                   reinterpret_cast<BYTE*>(data.data()), &size);
    if (result == ERROR_MORE_DATA) {
      // The value may grow between two calls; ask again with the size it has now.
      data.resize(size > data.size() ? static_cast<size_t>(size) : data.size() * 2);
      continue;
    }
    if (result != ERROR_SUCCESS || type != REG_SZ) return false;
    const char* begin = data.data();
    const char* end = static_cast<const char*>(std::memchr(begin, 0, size));
    text.assign(begin, end != nullptr ? end : begin + size);
    return true;
  }
}

bool ParseEntryNumber(const char* digits, int limit, int& number) {
  // Decimal, no sign, no leading zero, at most limit.
  if (*digits < '1' || *digits > '9') return false;
  long long value = 0;
  for (const char* p = digits; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    value = value * 10 + (*p - '0');
    if (value > limit) return false;
  }
  number = static_cast<int>(value);
  return true;
}

}  // namespace

void SetProfileLocation(const char* registryKey, const char* profileName) {
  g_strRegistryKey = registryKey != nullptr ? registryKey : "";
  g_strProfileName = profileName != nullptr ? profileName : "";
}

std::string GetProfileRegistryKey() {
  const CWinApp* app = LocatingApp();
  return app != nullptr ? app->m_strRegistryKey : g_strRegistryKey;
}

std::string GetProfileName() {
  const CWinApp* app = LocatingApp();
  return app != nullptr ? app->m_strProfileName : g_strProfileName;
}

std::string GetSettingString(const char* section, const char* entry, const char* defaultText) {
  std::string text;
  CRegKey key;
  if (entry != nullptr && OpenSectionKey(section, key) && QueryString(key, entry, text))
    return text;
  return defaultText != nullptr ? defaultText : "";
}

int GetSettingInt(const char* section, const char* entry, int defaultValue) {
  CRegKey key;
  if (entry == nullptr || !OpenSectionKey(section, key)) return defaultValue;
  DWORD type = REG_NONE;
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (RegQueryValueExA(key, entry, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(value))
    return defaultValue;
  return static_cast<int>(value);
}

bool WriteSettingString(const char* section, const char* entry, const char* text) {
  CRegKey key;
  if (entry == nullptr || !OpenSectionKey(section, key)) return false;
  if (text == nullptr) return RegDeleteValueA(key, entry) == ERROR_SUCCESS;
  // The stored size counts the terminating zero.
  return RegSetValueExA(key, entry, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
}

bool WriteSettingInt(const char* section, const char* entry, int value) {
  CRegKey key;
  if (entry == nullptr || !OpenSectionKey(section, key)) return false;
  const DWORD data = static_cast<DWORD>(value);
  return RegSetValueExA(key, entry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                        sizeof(data)) == ERROR_SUCCESS;
}

int FindLastNumberedSetting(const char* section, const char* base, int limit) {
  CRegKey key;
  if (base == nullptr || limit < 1 || !OpenSectionKey(section, key)) return 0;
  const size_t baseLength = std::strlen(base);
  int last = 0;
  // Value names are at most 16383 characters.
  std::vector<char> name(16384);
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    LONG result = RegEnumValueA(key, index, name.data(), &nameLength, nullptr, nullptr, nullptr,
                                nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) continue;
    int number = 0;
    // Value names compare without regard to case, as the registry does.
    if (nameLength > baseLength && CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE,
                                                  name.data(), static_cast<int>(baseLength), base,
                                                  static_cast<int>(baseLength)) == CSTR_EQUAL &&
        ParseEntryNumber(name.data() + baseLength, limit, number) && number > last)
      last = number;
  }
  return last;
}

bool ReadRegistryString(HKEY root, const char* subkey, const char* valueName, char* buffer,
                        DWORD bufferSize) {
  if (buffer == nullptr || bufferSize == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  CRegKey key;
  LONG result = key.Open(root, subkey, KEY_READ);
  if (result != ERROR_SUCCESS) {
    SetLastError(result);
    return false;
  }
  // Read into a scratch copy so that a failed read leaves the caller's buffer alone.
  std::vector<char> data(bufferSize);
  DWORD type = REG_NONE;
  DWORD size = bufferSize;
  result = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                            &size);
  if (result == ERROR_SUCCESS && type != REG_SZ) result = ERROR_INVALID_DATA;
  if (result == ERROR_SUCCESS && (size == 0 || data[size - 1] != '\0')) {
    // Stored without its zero: it still has to end in one inside the buffer.
    if (size < bufferSize)
      data[size] = '\0';
    else
      result = ERROR_MORE_DATA;
  }
  if (result != ERROR_SUCCESS) {
    SetLastError(result);
    return false;
  }
  std::memcpy(buffer, data.data(), bufferSize);
  return true;
}

std::string GetRegistryString(HKEY root, const char* subkey, const char* valueName,
                              const char* defaultText) {
  char buffer[kRegistryStringLimit];
  if (ReadRegistryString(root, subkey, valueName, buffer, sizeof(buffer))) return buffer;
  return defaultText != nullptr ? defaultText : "";
}

bool WriteRegistryString(HKEY root, const char* subkey, const char* valueName, const char* text) {
  if (text == nullptr) return false;
  CRegKey key;
  if (key.Open(root, subkey, KEY_WRITE) != ERROR_SUCCESS) return false;
  return RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
}

bool EnsureRegistryKey(HKEY root, const char* subkey) {
  CRegKey key;
  return key.Create(root, subkey, KEY_ALL_ACCESS) == ERROR_SUCCESS;
}

bool DeleteRegistryValue(HKEY root, const char* subkey, const char* valueName) {
  CRegKey key;
  if (key.Open(root, subkey, KEY_WRITE) != ERROR_SUCCESS) return false;
  return RegDeleteValueA(key, valueName) == ERROR_SUCCESS;
}
