#include "tests/settings/registry_probe.h"

#include <gtest/gtest.h>

#include <cstring>

DWORD RawValue::Dword() const {
  DWORD value = 0;
  if (data.size() == sizeof(value)) std::memcpy(&value, data.data(), sizeof(value));
  return value;
}

RawValue QueryRaw(HKEY root, const char* path, const char* name) {
  RawValue value;
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
    value.data.resize(size);
    if (RegQueryValueExA(key, name, nullptr, &value.type, value.data.data(), &size) ==
        ERROR_SUCCESS) {
      value.data.resize(size);
      value.exists = true;
    }
  }
  RegCloseKey(key);
  return value;
}

bool KeyExists(HKEY root, const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

DWORD ValueCount(HKEY root, const char* path) {
  HKEY key = nullptr;
  DWORD count = 0;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return count;
}

void SetRaw(HKEY root, const char* path, const char* name, DWORD type, const void* data,
            DWORD size) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                           &key, nullptr));
  EXPECT_EQ(ERROR_SUCCESS,
            RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size));
  RegCloseKey(key);
}

void SetRawString(HKEY root, const char* path, const char* name, const std::string& text,
                  DWORD type) {
  SetRaw(root, path, name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void SetRawDword(HKEY root, const char* path, const char* name, DWORD value) {
  SetRaw(root, path, name, REG_DWORD, &value, sizeof(value));
}

bool DeleteTree(HKEY root, const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return true;
  bool deleted = true;
  char child[256];
  for (;;) {
    DWORD length = sizeof(child);
    if (RegEnumKeyExA(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    if (!DeleteTree(key, child)) {
      deleted = false;
      break;
    }
  }
  RegCloseKey(key);
  return deleted && RegDeleteKeyA(root, path) == ERROR_SUCCESS;
}
