#include "app_base/settings.h"

#include <cstring>
#include <functional>
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
  if (entry != nullptr && OpenSectionKey(section, key) &&
      key.QueryStringValue(entry, text) == ERROR_SUCCESS)
    return text;
  return defaultText != nullptr ? defaultText : "";
}

int GetSettingInt(const char* section, const char* entry, int defaultValue) {
  CRegKey key;
  if (entry == nullptr || !OpenSectionKey(section, key)) return defaultValue;
  DWORD value = 0;
  if (key.QueryDWORDValue(entry, value) != ERROR_SUCCESS) return defaultValue;
  return static_cast<int>(value);
}

bool WriteSettingString(const char* section, const char* entry, const char* text) {
  CRegKey key;
  if (entry == nullptr || !OpenSectionKey(section, key)) return false;
  if (text == nullptr) return key.DeleteValue(entry) == ERROR_SUCCESS;
  return key.SetStringValue(entry, text) == ERROR_SUCCESS;
}

bool WriteSettingInt(const char* section, const char* entry, int value) {
  CRegKey key;
  if (entry == nullptr || !OpenSectionKey(section, key)) return false;
  return key.SetDWORDValue(entry, static_cast<DWORD>(value)) == ERROR_SUCCESS;
}

int LastNumberedName(const std::function<LONG(DWORD index, std::string& name)>& nameAt,
                     const char* base, int limit) {
  if (base == nullptr || limit < 1) return 0;
  const size_t baseLength = std::strlen(base);
  int last = 0;
  std::string name;
  for (DWORD index = 0;; ++index) {
    // Any failure ends the walk: a key deleted meanwhile fails for every
    // index there is, and would otherwise be asked about billions of times.
    if (nameAt(index, name) != ERROR_SUCCESS) break;
    int number = 0;
    // Value names compare without regard to case, as the registry does.
    if (name.size() > baseLength &&
        CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, name.c_str(),
                       static_cast<int>(baseLength), base,
                       static_cast<int>(baseLength)) == CSTR_EQUAL &&
        ParseEntryNumber(name.c_str() + baseLength, limit, number) && number > last)
      last = number;
  }
  return last;
}

int FindLastNumberedSetting(const char* section, const char* base, int limit) {
  CRegKey key;
  if (base == nullptr || limit < 1 || !OpenSectionKey(section, key)) return 0;
  DWORD type = REG_NONE;
  std::vector<char> data;
  return LastNumberedName(
      [&](DWORD index, std::string& name) { return key.EnumValue(index, name, type, data); }, base,
      limit);
}
