#include "framework/reg_key.h"

#include <algorithm>
#include <cstring>

#include "framework/wide.h"

LONG CRegKey::Close() {
  LONG result = ERROR_SUCCESS;
  if (m_hKey != nullptr && !IsPredefined(m_hKey)) result = RegCloseKey(m_hKey);
  m_hKey = nullptr;
  return result;
}

LONG CRegKey::Open(HKEY parent, const char* subkey, REGSAM access) {
  Close();
  HKEY key = nullptr;
  LONG result = RegOpenKeyExA(parent, subkey, 0, access, &key);
  if (result == ERROR_SUCCESS) m_hKey = key;
  return result;
}

LONG CRegKey::Create(HKEY parent, const char* subkey, REGSAM access, DWORD* disposition) {
  Close();
  HKEY key = nullptr;
  char noClass[] = "";
  LONG result = RegCreateKeyExA(parent, subkey, 0, noClass, REG_OPTION_NON_VOLATILE, access,
                                nullptr, &key, disposition);
  if (result == ERROR_SUCCESS) m_hKey = key;
  return result;
}

LONG CRegKey::QueryValue(const char* name, DWORD& type, std::vector<char>& data) const {
  if (data.empty()) data.resize(256);
  for (;;) {
    DWORD size = static_cast<DWORD>(data.size());
    LONG result =
        RegQueryValueExA(m_hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    if (result == ERROR_MORE_DATA) {
      // The value may grow between two calls; ask again with the size it has now.
      data.resize(size > data.size() ? static_cast<size_t>(size) : data.size() * 2);
      continue;
    }
    if (result == ERROR_SUCCESS) data.resize(size);
    return result;
  }
}

LONG CRegKey::QueryWideValue(const char* name, DWORD& type, std::vector<wchar_t>& data) const {
  const std::wstring wideName = Utf8ToWide(name != nullptr ? name : "");
  data.resize(256);
  for (;;) {
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    const LONG result = RegQueryValueExW(m_hKey, name != nullptr ? wideName.c_str() : nullptr, nullptr, &type,
                                         reinterpret_cast<BYTE*>(data.data()), &size);
    if (result == ERROR_MORE_DATA) {
      data.resize(std::max<size_t>(data.size() * 2, size / sizeof(wchar_t) + 1));
      continue;
    }
    // Up to the stored size only.
    if (result == ERROR_SUCCESS) data.resize(size / sizeof(wchar_t));
    return result;
  }
}

LONG CRegKey::QueryMultiStringValue(const char* name, std::vector<std::string>& strings) const {
  strings.clear();
  if (UseWideCalls()) {
    DWORD type = REG_NONE;
    std::vector<wchar_t> data;
    const LONG result = QueryWideValue(name, type, data);
    if (result != ERROR_SUCCESS) return result;
    if (type != REG_MULTI_SZ) return ERROR_INVALID_DATA;
    data.push_back(L'\0');
    for (size_t pos = 0; pos + 1 < data.size();) {
      const std::wstring one(data.data() + pos);
      pos += one.size() + 1;
      strings.push_back(WideToUtf8(one));
    }
    return ERROR_SUCCESS;
  }
  DWORD type = REG_NONE;
  std::vector<char> data;
  const LONG result = QueryValue(name, type, data);
  if (result != ERROR_SUCCESS) return result;
  if (type != REG_MULTI_SZ) return ERROR_INVALID_DATA;
  data.push_back('\0');
  for (size_t pos = 0; pos + 1 < data.size();) {
    const std::string one(data.data() + pos);
    pos += one.size() + 1;
    strings.push_back(AnsiToText(one));
  }
  return ERROR_SUCCESS;
}

LONG CRegKey::QueryStringValue(const char* name, std::string& text) const {
  if (UseWideCalls()) {
    // On the NT family the registry keeps text in UTF-16, whichever call
    // stored it: the W call reads a value that an 8-bit call wrote as well.
    DWORD type = REG_NONE;
    std::vector<wchar_t> data;
    const LONG result = QueryWideValue(name, type, data);
    if (result != ERROR_SUCCESS) return result;
    if (type != REG_SZ) return ERROR_INVALID_DATA;
    size_t end = 0;
    while (end < data.size() && data[end] != L'\0') ++end;
    text = WideToUtf8(std::wstring(data.data(), end));
    return ERROR_SUCCESS;
  }
  DWORD type = REG_NONE;
  std::vector<char> data;
  LONG result = QueryValue(name, type, data);
  if (result != ERROR_SUCCESS) return result;
  if (type != REG_SZ) return ERROR_INVALID_DATA;
  const char* begin = data.data();
  const char* end = static_cast<const char*>(std::memchr(begin, 0, data.size()));
  text = AnsiToText(std::string(begin, end != nullptr ? end : begin + data.size()));
  return ERROR_SUCCESS;
}

LONG CRegKey::QueryDWORDValue(const char* name, DWORD& value) const {
  DWORD type = REG_NONE;
  DWORD data = 0;
  DWORD size = sizeof data;
  LONG result =
      RegQueryValueExA(m_hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
  // A longer value does not fit: the system answers ERROR_MORE_DATA.
  if (result != ERROR_SUCCESS) return result;
  if (type != REG_DWORD || size != sizeof data) return ERROR_INVALID_DATA;
  value = data;
  return ERROR_SUCCESS;
}

LONG CRegKey::SetStringValue(const char* name, const char* text) const {
  if (text == nullptr) return ERROR_INVALID_PARAMETER;
  if (UseWideCalls()) {
    const std::wstring wideName = Utf8ToWide(name != nullptr ? name : "");
    const std::wstring wide = Utf8ToWide(text);
    return RegSetValueExW(m_hKey, name != nullptr ? wideName.c_str() : nullptr, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(wide.c_str()),
                          static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
  }
  // The 8-bit path keeps to the system's code page: a text it cannot hold
  // is not stored as another text.
  std::string ansi;
  if (!TextToAnsi(text, ansi)) return ERROR_NO_UNICODE_TRANSLATION;
  return RegSetValueExA(m_hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(ansi.c_str()),
                        static_cast<DWORD>(ansi.size() + 1));
}

LONG CRegKey::SetDWORDValue(const char* name, DWORD value) const {
  return RegSetValueExA(m_hKey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                        sizeof value);
}

LONG CRegKey::DeleteValue(const char* name) const { return RegDeleteValueA(m_hKey, name); }

LONG CRegKey::DeleteSubKey(HKEY parent, const char* name) { return RegDeleteKeyA(parent, name); }

LONG CRegKey::QueryInfo(DWORD* subkeyCount, DWORD* maxSubkeyLength) const {
  return RegQueryInfoKeyA(m_hKey, nullptr, nullptr, nullptr, subkeyCount, maxSubkeyLength,
                          nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
}

LONG CRegKey::EnumKey(DWORD index, std::string& name) const {
  DWORD longest = 0;
  QueryInfo(nullptr, &longest);
  // An ANSI name may take two bytes a character, and one may have grown
  // since the query: retry larger.
  std::vector<char> buffer(static_cast<size_t>(longest) * 2 + 2);
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD length = static_cast<DWORD>(buffer.size());
    LONG result =
        RegEnumKeyExA(m_hKey, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_MORE_DATA) {
      if (result == ERROR_SUCCESS) name.assign(buffer.data(), length);
      return result;
    }
    buffer.resize(buffer.size() * 2);
  }
  return ERROR_MORE_DATA;
}

LONG CRegKey::EnumValue(DWORD index, std::string& name, DWORD& type,
                        std::vector<char>& data) const {
  DWORD longestName = 0;
  DWORD longestData = 0;
  LONG result = RegQueryInfoKeyA(m_hKey, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, &longestName, &longestData, nullptr, nullptr);
  if (result != ERROR_SUCCESS) return result;
  std::vector<char> nameBuffer(static_cast<size_t>(longestName) * 2 + 2);
  data.resize(static_cast<size_t>(longestData) + 1);
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD nameLength = static_cast<DWORD>(nameBuffer.size());
    DWORD dataSize = static_cast<DWORD>(data.size());
    result = RegEnumValueA(m_hKey, index, nameBuffer.data(), &nameLength, nullptr, &type,
                           reinterpret_cast<BYTE*>(data.data()), &dataSize);
    if (result != ERROR_MORE_DATA) {
      if (result == ERROR_SUCCESS) {
        name.assign(nameBuffer.data(), nameLength);
        data.resize(dataSize);
      }
      return result;
    }
    nameBuffer.resize(nameBuffer.size() * 2);
    data.resize(data.size() * 2);
  }
  return ERROR_MORE_DATA;
}

namespace {

// The longest text GetRegistryString reads (bytes, zero included).
constexpr DWORD kRegistryStringLimit = 512;

}  // namespace

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
  DWORD type = REG_NONE;
  std::vector<char> data;
  result = key.QueryValue(valueName, type, data);
  if (result == ERROR_SUCCESS && type != REG_SZ) result = ERROR_INVALID_DATA;
  // Stored without its zero, it still has to end in one inside the buffer.
  const bool terminated = !data.empty() && data.back() == '\0';
  if (result == ERROR_SUCCESS && data.size() + (terminated ? 0 : 1) > bufferSize)
    result = ERROR_MORE_DATA;
  if (result != ERROR_SUCCESS) {
    SetLastError(result);
    return false;
  }
  std::memcpy(buffer, data.data(), data.size());
  if (!terminated) buffer[data.size()] = '\0';
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
  return key.SetStringValue(valueName, text) == ERROR_SUCCESS;
}

bool EnsureRegistryKey(HKEY root, const char* subkey) {
  CRegKey key;
  return key.Create(root, subkey, KEY_ALL_ACCESS) == ERROR_SUCCESS;
}

bool DeleteRegistryValue(HKEY root, const char* subkey, const char* valueName) {
  CRegKey key;
  if (key.Open(root, subkey, KEY_WRITE) != ERROR_SUCCESS) return false;
  return key.DeleteValue(valueName) == ERROR_SUCCESS;
}

bool RegistryKeyExists(HKEY root, const char* subkey) {
  CRegKey key;
  return key.Open(root, subkey, KEY_READ) == ERROR_SUCCESS;
}
