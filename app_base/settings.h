#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "framework/reg_key.h"  // the registry value functions on any root key

// The settings profile lives under
// HKEY_CURRENT_USER\Software\<registry key>\<profile name>\<section>, one
// value per entry. Every operation opens the keys it needs and closes them
// before it returns; nothing is cached. No operation throws or shows a message:
// reads fall back to their default and writes return false.

// Sections and entries of the profile, with the defaults the program reads them with.
constexpr const char kSettingsSection[] = "Settings";
constexpr const char kSelfInstallSection[] = "SelfInstall";

constexpr const char kTabsEntry[] = "Tabs";  // text of the tab-location box
constexpr const char kTabsDefault[] = "8";
constexpr const char kLeadingTabsOnlyEntry[] = "LeadingTabsOnly";  // the check box: 1 or 0
constexpr int kLeadingTabsOnlyDefault = 0;
constexpr const char kMaxFilesEntry[] = "MaxFiles";  // set by hand only, never written
constexpr int kMaxFilesDefault = 10;
constexpr const char kCreateDesktopShortcutEntry[] = "CreateDesktopShortcut";  // 1 or 0
constexpr int kCreateDesktopShortcutDefault = 0;
constexpr const char kVersionEntry[] = "Version";      // in "SelfInstall"
constexpr const char kDirectoryEntry[] = "Directory";  // in "SelfInstall"

// Where the profile lives: the registry key name ("Orvane") and the profile
// name ("Zenvero"). They come from the application object (CWinApp's
// m_strRegistryKey and m_strProfileName, set by SetRegistryKey and
// SetProfileName at start-up) once its registry key is set; until then, or in
// a process without an application object, from SetProfileLocation. With
// either name empty every profile operation fails.
void SetProfileLocation(const char* registryKey, const char* profileName);
std::string GetProfileRegistryKey();
std::string GetProfileName();

// The entry's text (REG_SZ, up to its first zero byte), or defaultText when the
// keys cannot be opened or the value is missing or of another type.
std::string GetSettingString(const char* section, const char* entry, const char* defaultText);
// The entry's signed integer (a 4-byte REG_DWORD), or defaultValue otherwise.
int GetSettingInt(const char* section, const char* entry, int defaultValue);
// Stores text as REG_SZ; a null text deletes the entry instead.
bool WriteSettingString(const char* section, const char* entry, const char* text);
bool WriteSettingInt(const char* section, const char* entry, int value);

// The greatest k in 1..limit for which the entry base+k ("Source7") exists in
// the section, or 0. Lets a reader skip a hand-edited count far beyond the
// stored entries without probing each number.
int FindLastNumberedSetting(const char* section, const char* base, int limit);
// The same over the value names that nameAt gives for index 0, 1, 2...
// until it fails (ERROR_NO_MORE_ITEMS past the last, or any other error).
int LastNumberedName(const std::function<LONG(DWORD index, std::string& name)>& nameAt,
                     const char* base, int limit);
