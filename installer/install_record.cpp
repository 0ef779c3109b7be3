#include "installer/install_record.h"

#include <windows.h>

#include "app_base/settings.h"
#include "framework/path.h"
#include "installer/install_job.h"
#include "installer/install_run.h"
#include "installer/registry_records.h"

namespace {

// How long install step 2 waits for step 1 to finish its record.
const DWORD kRecordWaitMs = 30000;

CInstallRecord ReadRecordOf(bool forMachine, const std::string& selfInstallKey) {
  CInstallRecord record;
  record.forMachine = forMachine;
  if (forMachine) {
    const char* key = selfInstallKey.c_str();
    record.version = GetRegistryString(HKEY_LOCAL_MACHINE, key, kVersionEntry, "");
    record.installFolder = GetRegistryString(HKEY_LOCAL_MACHINE, key, kDirectoryEntry, "");
  } else {
    record.version = GetSettingString(kSelfInstallSection, kVersionEntry, "");
    record.installFolder = GetSettingString(kSelfInstallSection, kDirectoryEntry, "");
  }
  return record;
}

// This user's own record goes before a new record is written, unless the
// new one is the machine's and this user's names another folder: that is an
// installation for this user alone, which stays beside the machine's (its
// uninstall finds it by this record).
void ClearUserRecordFor(const CInstallNames& names, const std::string& installFolder, bool forMachine) {
  const std::string own = ReadRecordOf(false, names.selfInstallKey).installFolder;
  if (forMachine && !own.empty() && !SamePathText(WithSeparator(own), WithSeparator(installFolder))) return;
  DeleteRegKeyTree(HKEY_CURRENT_USER, names.selfInstallKey);
}

}  // namespace

CInstallRecord ReadInstallRecordOf(bool forMachine, const std::string& selfInstallKey) {
  return ReadRecordOf(forMachine, selfInstallKey);
}

CInstallRecord ReadInstallRecord(const std::string& selfInstallKey) {
  CInstallRecord record = ReadRecordOf(true, selfInstallKey);
  if (record.version.empty()) record = ReadRecordOf(false, selfInstallKey);
  if (record.installFolder.empty()) record.version.clear();
  return record;
}

std::string RecordedInstallFolder(const std::string& selfInstallKey) {
  const std::string machine = ReadRecordOf(true, selfInstallKey).installFolder;
  return !machine.empty() ? machine : ReadRecordOf(false, selfInstallKey).installFolder;
}

void RecordVersionForStepTwo(const CInstallRun& run, const std::string& installFolder) {
  const CInstallNames& names = run.names;
  const bool forMachine = run.MachineKey(names.appKey);
  ClearUserRecordFor(names, installFolder, forMachine);
  if (forMachine) {
    WriteRegistryString(HKEY_LOCAL_MACHINE, names.selfInstallKey.c_str(), kVersionEntry, names.currentVersion.c_str());
  } else {
    WriteSettingString(kSelfInstallSection, kVersionEntry, names.currentVersion.c_str());
  }
}

bool WriteInstallRecord(const CInstallRun& run, const std::string& installFolder) {
  const CInstallNames& names = run.names;
  const bool forMachine = run.MachineKey(names.selfInstallKey);
  ClearUserRecordFor(names, installFolder, forMachine);
  bool recorded;
  if (forMachine) {
    const char* key = names.selfInstallKey.c_str();
    recorded = WriteRegistryString(HKEY_LOCAL_MACHINE, key, kDirectoryEntry, installFolder.c_str()) &&
               WriteRegistryString(HKEY_LOCAL_MACHINE, key, kVersionEntry, names.currentVersion.c_str());
    LogInstallResult("Write the installation record HKLM\\" + names.selfInstallKey, recorded, ERROR_ACCESS_DENIED);
  } else {
    recorded = WriteSettingString(kSelfInstallSection, kDirectoryEntry, installFolder.c_str()) &&
               WriteSettingString(kSelfInstallSection, kVersionEntry, names.currentVersion.c_str());
    LogInstallResult("Write the installation record HKCU\\" + names.selfInstallKey, recorded, ERROR_ACCESS_DENIED);
  }
  return recorded;
}

CRecordLock::CRecordLock(const std::string& instanceKey)
    : m_hMutex(CreateMutexA(nullptr, FALSE, (instanceKey + "SelfInstallRecord").c_str())) {
  if (!m_hMutex.IsValid()) return;
  DWORD wait = WaitForSingleObject(m_hMutex, kRecordWaitMs);
  m_bOwned = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

CRecordLock::~CRecordLock() {
  if (m_bOwned) ReleaseMutex(m_hMutex);
}
