#include "installer/registry_records.h"

#include "app_base/module.h"
#include "app_base/settings.h"
#include "framework/reg_key.h"

namespace {

// Deletes parent\name and everything below it. The children are reached
// through their parent's open key rather than by their full path from the
// root, so neither a long name nor a deep tree makes a path too long to open.
void DeleteKeyTreeBelow(HKEY parent, const std::string& name) {
  {
    CRegKey key;
    if (key.Open(parent, name.c_str(), KEY_ALL_ACCESS) != ERROR_SUCCESS) return;
    DWORD subkeyCount = 0;
    if (key.QueryInfo(&subkeyCount) == ERROR_SUCCESS) {
      std::string child;
      // Last index first, so the lower ones stay valid as children go.
      for (DWORD i = subkeyCount; i > 0; --i) {
        if (key.EnumKey(i - 1, child) == ERROR_SUCCESS) DeleteKeyTreeBelow(key, child);
      }
    }
  }
  // The key is closed; where a child survived, the system keeps it.
  CRegKey::DeleteSubKey(parent, name.c_str());
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
    if (key.QueryInfo(&subkeyCount) != ERROR_SUCCESS)
      subkeyCount = 1;  // unknown counts as having subkeys
  }
  if (subkeyCount == 0) CRegKey::DeleteSubKey(root, subKey.c_str());
}

std::string InstallDateText(const SYSTEMTIME& date) {
  char text[16];
  wsprintfA(text, "%04u%02u%02u", date.wYear % 10000u, date.wMonth % 100u, date.wDay % 100u);
  return text;
}

bool WriteUninstallEntry(HKEY root, const std::string& key, const CUninstallEntry& entry) {
  CRegKey uninstall;
  if (uninstall.Open(root, key.c_str(), KEY_WRITE) != ERROR_SUCCESS) return false;
  const struct {
    const char* name;
    const std::string& text;
  } texts[] = {
      {kDisplayNameValue, entry.m_strDisplayName},
      {kUninstallStringValue, entry.m_strUninstallString},
      {kQuietUninstallStringValue, entry.m_strQuietUninstallString},
      {kDisplayVersionValue, entry.m_strDisplayVersion},
      {kPublisherValue, entry.m_strPublisher},
      {kDisplayIconValue, entry.m_strDisplayIcon},
      {kInstallLocationValue, entry.m_strInstallLocation},
      {kInstallDateValue, entry.m_strInstallDate},
  };
  bool written = true;
  for (const auto& value : texts)
    written &= uninstall.SetStringValue(value.name, value.text.c_str()) == ERROR_SUCCESS;
  written &= uninstall.SetDWORDValue(kEstimatedSizeValue, entry.m_nEstimatedSizeKB) == ERROR_SUCCESS;
  // The entry offers only Uninstall: there is no change or repair mode.
  written &= uninstall.SetDWORDValue(kNoModifyValue, 1) == ERROR_SUCCESS;
  written &= uninstall.SetDWORDValue(kNoRepairValue, 1) == ERROR_SUCCESS;
  return written;
}
