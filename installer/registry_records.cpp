#include "installer/registry_records.h"

#include <vector>

#include "app/module.h"
#include "app/settings.h"
#include "framework/reg_key.h"

namespace {

// The name of key's subkey number index, however long. maxNameLength is the
// longest name the key reported, in characters without the zero; an ANSI name
// may take two bytes a character, and one may have grown since: retry larger.
bool EnumSubkeyName(HKEY key, DWORD index, DWORD maxNameLength, std::string& name) {
  std::vector<char> buffer(static_cast<size_t>(maxNameLength) * 2 + 2);
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD length = static_cast<DWORD>(buffer.size());
    const LONG result =
        RegEnumKeyExA(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_SUCCESS) {
      name.assign(buffer.data(), length);
      return true;
    }
    if (result != ERROR_MORE_DATA) return false;
    buffer.resize(buffer.size() * 2);
  }
  return false;
}

// Deletes parent\name and everything below it. The children are reached
// through their parent's open key rather than by their full path from the
// root, so neither a long name nor a deep tree makes a path too long to open.
void DeleteKeyTreeBelow(HKEY parent, const std::string& name) {
  {
    CRegKey key;
    if (key.Open(parent, name.c_str(), KEY_ALL_ACCESS) != ERROR_SUCCESS) return;
    DWORD subkeyCount = 0;
    DWORD maxNameLength = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeyCount, &maxNameLength, nullptr,
                         nullptr, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
      std::string child;
      // Last index first, so the lower ones stay valid as children go.
      for (DWORD i = subkeyCount; i > 0; --i) {
        if (EnumSubkeyName(key, i - 1, maxNameLength, child)) DeleteKeyTreeBelow(key, child);
      }
    }
  }
  // The key is closed; where a child survived, the system keeps it.
  RegDeleteKeyA(parent, name.c_str());
}

// The Run entry's command: the quoted program path, then a blank and the
// arguments when there are any.
std::string RunCommand(const std::string& path, const std::string& arguments) {
  std::string command = "\"" + path + "\"";
  if (!arguments.empty()) command += " " + arguments;
  return command;
}

}  // namespace

std::string GetInstanceKey() {
  const std::string registryKey = GetProfileRegistryKey();
  const std::string profileName = GetProfileName();
  if (registryKey.empty() || profileName.empty()) return std::string();
  return registryKey + profileName;
}

std::string GetRegistryKeyPath() {
  const std::string registryKey = GetProfileRegistryKey();
  if (registryKey.empty() || GetProfileName().empty()) return std::string();
  return "Software\\" + registryKey;
}

std::string GetApplicationKey() {
  const std::string registryKeyPath = GetRegistryKeyPath();
  if (registryKeyPath.empty()) return std::string();
  return registryKeyPath + "\\" + GetProfileName();
}

std::string GetSelfInstallKey() {
  const std::string applicationKey = GetApplicationKey();
  if (applicationKey.empty()) return std::string();
  return applicationKey + "\\" + kSelfInstallSection;
}

std::string GetUninstallKey() {
  const std::string instanceKey = GetInstanceKey();
  if (instanceKey.empty()) return std::string();
  return std::string(kUninstallKeyBase) + "\\" + instanceKey;
}

std::string GetAppPathKey(const std::string& exeName) {
  if (exeName.empty()) return std::string();
  return std::string(kAppPathsKeyBase) + "\\" + exeName;
}

void SetRunAtStartup(const std::string& arguments, int enable) {
  // Without a name the write would land in the Run key's default value.
  const std::string instanceKey = GetInstanceKey();
  if (instanceKey.empty()) return;
  if (enable) {
    const std::string modulePath = GetModulePath();
    if (modulePath.empty()) return;
    WriteRegistryString(HKEY_CURRENT_USER, kRunKey, instanceKey.c_str(),
                        RunCommand(modulePath, arguments).c_str());
  } else {
    DeleteRegistryValue(HKEY_CURRENT_USER, kRunKey, instanceKey.c_str());
  }
}

void SetAppPath(const std::string& exeName, const std::string& pathValue, int enable) {
  const std::string key = GetAppPathKey(exeName);
  if (key.empty()) return;
  if (enable) {
    const std::string modulePath = GetModulePath();
    if (modulePath.empty() || !EnsureRegistryKey(HKEY_LOCAL_MACHINE, key.c_str())) return;
    WriteRegistryString(HKEY_LOCAL_MACHINE, key.c_str(), "", modulePath.c_str());
    if (!pathValue.empty())
      WriteRegistryString(HKEY_LOCAL_MACHINE, key.c_str(), kAppPathPathValue, pathValue.c_str());
  } else {
    DeleteRegKeyTree(HKEY_LOCAL_MACHINE, key);
  }
}

void DeleteRegKeyTree(HKEY root, const std::string& subKey) {
  // An empty path opens the root itself: everything below it would go.
  if (!subKey.empty()) DeleteKeyTreeBelow(root, subKey);
}

void DeleteRegKeyIfNoSubkeys(HKEY root, const std::string& subKey) {
  if (subKey.empty()) return;
  DWORD subkeyCount = 1;
  {
    CRegKey key;
    if (key.Open(root, subKey.c_str(), KEY_ALL_ACCESS) != ERROR_SUCCESS) return;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeyCount, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      subkeyCount = 1;  // unknown counts as having subkeys
  }
  if (subkeyCount == 0) RegDeleteKeyA(root, subKey.c_str());
}
