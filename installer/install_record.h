#pragma once
#include <string>

#include "framework/handle.h"

struct CInstallRun;

// The installation record: the folder and version of the installed copy,
// "Directory" and "Version" in the self-install key, machine-wide for an
// installation for all users, else per user in the profile section
// "SelfInstall". Every read and write of it is here.

struct CInstallRecord {
  std::string version;
  std::string installFolder;
  bool forMachine = false;  // the record is the machine's, not this user's
};

// The record the start-up check decides by: the machine's when it names a
// version, else this user's. A record without a folder names no installed
// copy (handing over to it would start this program again and again): its
// version is then empty too.
CInstallRecord ReadInstallRecord(const std::string& selfInstallKey);

// The machine's record, or this user's, as it is (no fallback to the other).
CInstallRecord ReadInstallRecordOf(bool forMachine, const std::string& selfInstallKey);

// The recorded install folder: the machine's, else this user's; empty when
// neither names one.
std::string RecordedInstallFolder(const std::string& selfInstallKey);

// Install step 1, which leaves the record to step 2: clears this user's
// record (unless it is of this user's own installation in another folder
// and step 2 records the machine's) and writes the new version where step 2
// will record the folder.
void RecordVersionForStepTwo(const CInstallRun& run, const std::string& installFolder);

// Install step 2: clears this user's record (as step 1 does), then writes
// `installFolder`
// and the version, machine-wide unless the run is for this user (or the
// machine's key is refused). False when a value could not be written.
bool WriteInstallRecord(const CInstallRun& run, const std::string& installFolder);

// Held by install step 1 from before it starts the copy until its version
// record is written; install step 2 takes it before it writes its own record,
// so that step 1's clearing of the per-user record never comes after it.
class CRecordLock {
 public:
  explicit CRecordLock(const std::string& instanceKey);
  ~CRecordLock();
  CRecordLock(const CRecordLock&) = delete;
  CRecordLock& operator=(const CRecordLock&) = delete;

 private:
  CHandle m_hMutex;
  bool m_bOwned = false;
};
