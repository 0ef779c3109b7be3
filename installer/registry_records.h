#pragma once
#include <windows.h>

#include <string>

// The installer's entries in the registry: its installation record, the entry
// in the system's list of installed programs, the App Paths entry and the
// per-user Run entry, and the two key deletions it uses. Nothing here shows a
// message; failures are silent.

// Fixed key paths (below HKEY_LOCAL_MACHINE unless said otherwise).
constexpr const char kUninstallKeyBase[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char kAppPathsKeyBase[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";  // HKCU

// Values of the uninstall entry (the system's list of installed programs).
constexpr const char kDisplayNameValue[] = "DisplayName";
constexpr const char kUninstallStringValue[] = "UninstallString";
constexpr const char kQuietUninstallStringValue[] = "QuietUninstallString";
constexpr const char kDisplayVersionValue[] = "DisplayVersion";
constexpr const char kPublisherValue[] = "Publisher";
constexpr const char kDisplayIconValue[] = "DisplayIcon";
constexpr const char kInstallLocationValue[] = "InstallLocation";
constexpr const char kInstallDateValue[] = "InstallDate";      // "YYYYMMDD"
constexpr const char kEstimatedSizeValue[] = "EstimatedSize";  // REG_DWORD, KB
constexpr const char kNoModifyValue[] = "NoModify";            // REG_DWORD 1
constexpr const char kNoRepairValue[] = "NoRepair";            // REG_DWORD 1

// The App Paths entry's value beside its default value.
constexpr const char kAppPathPathValue[] = "Path";

// The installation record: "Version" and "Directory" (kVersionEntry and
// kDirectoryEntry of app_base/settings.h) in the self-install key, machine-wide, or
// per user in the profile section "SelfInstall".

// Names formed from the profile location (registry key name "Orvane", profile
// name "Zenvero", app_base/settings.h). Each is empty while either name is.
// "OrvaneZenvero": the two run together; the Run value's name and the last
// component of the uninstall key.
std::string GetInstanceKey();
// "Software\Orvane": deleted at uninstall once no subkey is left below it.
std::string GetRegistryKeyPath();
// "Software\Orvane\Zenvero".
std::string GetApplicationKey();
// "Software\Orvane\Zenvero\SelfInstall".
std::string GetSelfInstallKey();
// kUninstallKeyBase + "\OrvaneZenvero".
std::string GetUninstallKey();
// kAppPathsKeyBase + "\" + exeName; empty when exeName is.
std::string GetAppPathKey(const std::string& exeName);

// enable nonzero: writes the Run value (HKCU, kRunKey, instance key) = the
// quoted module path plus the arguments; the Run key must exist already, it is
// not created. Nothing happens when the module path is empty. enable 0:
// deletes the value.
void SetRunAtStartup(const std::string& arguments, int enable);

// enable nonzero: creates HKLM App Paths\exeName and writes its default value =
// module path, then "Path" = pathValue when that is not empty. Nothing happens
// when the module path is empty. enable 0: deletes that key tree. An empty
// exeName does nothing either way (it would name the whole App Paths key).
void SetAppPath(const std::string& exeName, const std::string& pathValue, int enable);

// What the uninstall entry says of an installation.
struct CUninstallEntry {
  std::string m_strDisplayName;      // application title + " " + version
  std::string m_strUninstallString;  // the quoted program path + " /uninstall"
  std::string m_strQuietUninstallString;  // the same + " /VERYSILENT"
  std::string m_strDisplayVersion;
  std::string m_strPublisher;
  std::string m_strDisplayIcon;      // the program's path
  std::string m_strInstallLocation;  // its folder
  std::string m_strInstallDate;      // the local date of installation, YYYYMMDD
  DWORD m_nEstimatedSizeKB = 0;
};
// `date` as the programs list reads an InstallDate: "YYYYMMDD".
std::string InstallDateText(const SYSTEMTIME& date);
// Writes the entry's values (and NoModify = NoRepair = 1) under the existing
// key root\key; false when the key cannot be opened or a value not written.
bool WriteUninstallEntry(HKEY root, const std::string& key, const CUninstallEntry& entry);

// Deletes root\subKey with everything below it. A missing key, or an empty
// subKey (which would name the root itself), does nothing.
void DeleteRegKeyTree(HKEY root, const std::string& subKey);

// Deletes root\subKey, values and all, only when it has no subkeys.
void DeleteRegKeyIfNoSubkeys(HKEY root, const std::string& subKey);
