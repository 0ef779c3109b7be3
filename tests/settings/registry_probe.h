#pragma once
#include <windows.h>

#include <string>
#include <vector>

// What another program sees in the registry, read and written with the raw
// API so that the tests never judge the settings code by itself.
struct RawValue {
  bool exists = false;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;

  std::string Text() const { return std::string(data.begin(), data.end()); }
  DWORD Dword() const;
};

RawValue QueryRaw(HKEY root, const char* path, const char* name);
bool KeyExists(HKEY root, const char* path);
DWORD ValueCount(HKEY root, const char* path);
// Creates the key path as needed.
void SetRaw(HKEY root, const char* path, const char* name, DWORD type, const void* data,
            DWORD size);
void SetRawString(HKEY root, const char* path, const char* name, const std::string& text,
                  DWORD type = REG_SZ);
void SetRawDword(HKEY root, const char* path, const char* name, DWORD value);
// Deletes the key with everything below it; true also when it was missing.
bool DeleteTree(HKEY root, const char* path);

// The profile's settings section as the tests address it.
constexpr const char kProfilePath[] = "Software\\Orvane\\Zenvero";
constexpr const char kSettingsPath[] = "Software\\Orvane\\Zenvero\\Settings";
