#include "installer/folder_security.h"

#include <windows.h>

#include <vector>

#include "framework/file_system.h"
#include "framework/handle.h"
#include "framework/path.h"
#include "framework/wide.h"

namespace {

// The security routines, looked up at run time: Windows 95 to ME lack most
// of them, NT 4 the inheritance ones.
struct CSecurityRoutines {
  BOOL(WINAPI* getFileSecurity)(LPCWSTR, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR, DWORD, LPDWORD);
  BOOL(WINAPI* setFileSecurity)(LPCWSTR, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR);
  BOOL(WINAPI* getDacl)(PSECURITY_DESCRIPTOR, LPBOOL, PACL*, LPBOOL);
  BOOL(WINAPI* getOwner)(PSECURITY_DESCRIPTOR, PSID*, LPBOOL);
  BOOL(WINAPI* getAclInformation)(PACL, LPVOID, DWORD, ACL_INFORMATION_CLASS);
  BOOL(WINAPI* getAce)(PACL, DWORD, LPVOID*);
  BOOL(WINAPI* equalSid)(PSID, PSID);
  BOOL(WINAPI* allocateSid)
  (PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, PSID*);
  PVOID(WINAPI* freeSid)(PSID);
  DWORD(WINAPI* sidLength)(PSID);
  BOOL(WINAPI* initializeAcl)(PACL, DWORD, DWORD);
  BOOL(WINAPI* addAllowedAceEx)(PACL, DWORD, DWORD, DWORD, PSID);
  BOOL(WINAPI* initializeDescriptor)(PSECURITY_DESCRIPTOR, DWORD);
  BOOL(WINAPI* setDacl)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL);
  BOOL(WINAPI* setControl)(PSECURITY_DESCRIPTOR, SECURITY_DESCRIPTOR_CONTROL, SECURITY_DESCRIPTOR_CONTROL);
  BOOL(WINAPI* openProcessToken)(HANDLE, DWORD, PHANDLE);
  BOOL(WINAPI* getTokenInformation)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);

  bool Complete() const {
    return getFileSecurity && setFileSecurity && getDacl && getOwner && getAclInformation && getAce && equalSid &&
           allocateSid && freeSid && sidLength && initializeAcl && addAllowedAceEx && initializeDescriptor && setDacl;
  }
};

template <class Function>
void Load(HMODULE library, Function& function, const char* name) {
  function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

const CSecurityRoutines& Security() {
  static const CSecurityRoutines routines = [] {
    CSecurityRoutines r = {};
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    if (advapi == nullptr) return r;
    Load(advapi, r.getFileSecurity, "GetFileSecurityW");
    Load(advapi, r.setFileSecurity, "SetFileSecurityW");
    Load(advapi, r.getDacl, "GetSecurityDescriptorDacl");
    Load(advapi, r.getOwner, "GetSecurityDescriptorOwner");
    Load(advapi, r.getAclInformation, "GetAclInformation");
    Load(advapi, r.getAce, "GetAce");
    Load(advapi, r.equalSid, "EqualSid");
    Load(advapi, r.allocateSid, "AllocateAndInitializeSid");
    Load(advapi, r.freeSid, "FreeSid");
    Load(advapi, r.sidLength, "GetLengthSid");
    Load(advapi, r.initializeAcl, "InitializeAcl");
    Load(advapi, r.addAllowedAceEx, "AddAccessAllowedAceEx");
    Load(advapi, r.initializeDescriptor, "InitializeSecurityDescriptor");
    Load(advapi, r.setDacl, "SetSecurityDescriptorDacl");
    Load(advapi, r.setControl, "SetSecurityDescriptorControl");
    Load(advapi, r.openProcessToken, "OpenProcessToken");
    Load(advapi, r.getTokenInformation, "GetTokenInformation");
    return r;
  }();
  return routines;
}

// A well-known account's SID, freed with the object.
class CWellKnownSid {
 public:
  CWellKnownSid(SID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD first, DWORD second = 0, DWORD third = 0,
                DWORD fourth = 0, DWORD fifth = 0, DWORD sixth = 0) {
    if (!Security().allocateSid(&authority, count, first, second, third, fourth, fifth, sixth, 0, 0, &m_pSid))
      m_pSid = nullptr;
  }
  ~CWellKnownSid() {
    if (m_pSid != nullptr) Security().freeSid(m_pSid);
  }
  CWellKnownSid(const CWellKnownSid&) = delete;
  CWellKnownSid& operator=(const CWellKnownSid&) = delete;
  PSID Get() const { return m_pSid; }

 private:
  PSID m_pSid = nullptr;
};

const SID_IDENTIFIER_AUTHORITY kNtAuthority = SECURITY_NT_AUTHORITY;
const SID_IDENTIFIER_AUTHORITY kCreatorAuthority = SECURITY_CREATOR_SID_AUTHORITY;

// The account this process runs as (the administrator who installs), as
// the bytes of its SID; empty when it cannot be told.
std::vector<BYTE> OwnAccount() {
  const CSecurityRoutines& security = Security();
  if (security.openProcessToken == nullptr || security.getTokenInformation == nullptr) return {};
  HANDLE token = nullptr;
  if (!security.openProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  CHandle tokenHandle(token);
  DWORD needed = 0;
  security.getTokenInformation(token, TokenUser, nullptr, 0, &needed);
  std::vector<BYTE> user(needed);
  if (needed == 0 || !security.getTokenInformation(token, TokenUser, user.data(), needed, &needed)) return {};
  const PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
  const BYTE* bytes = static_cast<const BYTE*>(sid);
  return std::vector<BYTE>(bytes, bytes + security.sidLength(sid));
}

// The accounts that may change the program: administrators, the system,
// the installer service of Windows Vista on, the creator-owner entry (which
// gives a file's creator, here an administrator, its rights), and the
// account that installs.
bool IsTrusted(PSID sid) {
  static const std::vector<BYTE> own = OwnAccount();
  if (!own.empty() && Security().equalSid(sid, const_cast<BYTE*>(own.data()))) return true;
  static const CWellKnownSid administrators(kNtAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS);
  static const CWellKnownSid system(kNtAuthority, 1, SECURITY_LOCAL_SYSTEM_RID);
  static const CWellKnownSid creatorOwner(kCreatorAuthority, 1, SECURITY_CREATOR_OWNER_RID);
  static const CWellKnownSid installer(kNtAuthority, 6, 80, 956008885u, 3418522649u, 1831038044u, 1853292631u,
                                       2271478464u);
  for (const CWellKnownSid* trusted : {&administrators, &system, &creatorOwner, &installer})
    if (trusted->Get() != nullptr && Security().equalSid(sid, trusted->Get())) return true;
  return false;
}

// The rights that change a folder's content or its permissions.
const DWORD kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER |
                            GENERIC_WRITE | GENERIC_ALL;

bool VolumeKeepsPermissions(const std::string& folder) {
  std::string root;
  if (!GetFullPathNamed(folder, root)) return true;
  if (root.size() >= 2 && root[1] == ':') {
    root = root.substr(0, 2) + "\\";
  } else if (root.compare(0, 2, "\\\\") == 0) {
    const size_t share = root.find('\\', root.find('\\', 2) + 1);
    root = share == std::string::npos ? root + "\\" : root.substr(0, share + 1);
  }
  DWORD flags = 0;
  if (!GetVolumeFlagsNamed(root.c_str(), flags)) return true;
  return (flags & FILE_PERSISTENT_ACLS) != 0;
}

}  // namespace

namespace {

// Whether accounts not trusted have any of `rights` on `path` (or own it):
// the rights the entries grant to the folder itself, and with
// `inheritedToo` those they only pass on to what it holds.
bool OthersHaveRights(const std::string& folder, DWORD rights, bool inheritedToo) {
  const CSecurityRoutines& security = Security();
  if (!security.Complete() || !VolumeKeepsPermissions(folder)) return false;
  const SECURITY_INFORMATION wanted = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  DWORD needed = 0;
  if (!security.getFileSecurity(TextToWide(folder).c_str(), wanted, nullptr, 0, &needed) &&
      GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    return GetLastError() != ERROR_CALL_NOT_IMPLEMENTED;  // unreadable: not to be trusted
  std::vector<BYTE> descriptor(needed);
  if (needed == 0 || !security.getFileSecurity(TextToWide(folder).c_str(), wanted, descriptor.data(), needed, &needed)) return true;
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  // The owner may always change the permissions.
  if (security.getOwner(descriptor.data(), &owner, &defaulted) && owner != nullptr && !IsTrusted(owner)) return true;
  BOOL present = FALSE;
  PACL dacl = nullptr;
  if (!security.getDacl(descriptor.data(), &present, &dacl, &defaulted)) return true;
  if (!present || dacl == nullptr) return true;  // no permissions at all: everyone may do anything
  ACL_SIZE_INFORMATION size = {};
  if (!security.getAclInformation(dacl, &size, sizeof size, AclSizeInformation)) return true;
  for (DWORD i = 0; i < size.AceCount; ++i) {
    void* entry = nullptr;
    if (!security.getAce(dacl, i, &entry)) return true;
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    // Denials only take rights away.
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    if (!inheritedToo && (header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    if ((allowed->Mask & rights) != 0 && !IsTrusted(&allowed->SidStart)) return true;
  }
  return false;
}


}  // namespace

bool OthersMayChangeFolder(const std::string& folder) { return OthersHaveRights(folder, kChangeRights, true); }

bool OthersMayMoveFolder(const std::string& folder) {
  // Renaming a folder takes the right to delete it, or to delete what its
  // parent holds; changing permissions or owner gives either.
  const DWORD kRemoveRights = DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_ALL;
  const DWORD kRemoveChildRights = FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER | GENERIC_ALL;
  for (std::string path = folder;;) {
    const std::string parent = ParentFolder(path);
    if (SamePathText(parent, path)) return false;  // a root
    if (GetFileAttributesNamed(path.c_str()) != INVALID_FILE_ATTRIBUTES &&  // else made by the installer
        (OthersHaveRights(path, kRemoveRights, false) || OthersHaveRights(parent, kRemoveChildRights, false)))
      return true;
    path = parent;
  }
}

bool SecureFolderForAllUsers(const std::string& folder) {
  const CSecurityRoutines& security = Security();
  if (!security.Complete() || !VolumeKeepsPermissions(folder)) return true;
  const CWellKnownSid administrators(kNtAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS);
  const CWellKnownSid system(kNtAuthority, 1, SECURITY_LOCAL_SYSTEM_RID);
  const CWellKnownSid users(kNtAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS);
  if (administrators.Get() == nullptr || system.Get() == nullptr || users.Get() == nullptr) return false;
  const struct {
    PSID sid;
    DWORD rights;
  } entries[] = {
      {administrators.Get(), FILE_ALL_ACCESS},
      {system.Get(), FILE_ALL_ACCESS},
      {users.Get(), FILE_GENERIC_READ | FILE_GENERIC_EXECUTE},
  };
  DWORD aclSize = sizeof(ACL);
  for (const auto& entry : entries)
    aclSize += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + security.sidLength(entry.sid);
  std::vector<BYTE> aclBuffer(aclSize);
  PACL acl = reinterpret_cast<PACL>(aclBuffer.data());
  if (!security.initializeAcl(acl, aclSize, ACL_REVISION)) return false;
  for (const auto& entry : entries)
    if (!security.addAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, entry.rights,
                                  entry.sid))
      return false;
  SECURITY_DESCRIPTOR descriptor;
  if (!security.initializeDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !security.setDacl(&descriptor, TRUE, acl, FALSE))
    return false;
  // Not inherited from the parent (Windows 2000 on; NT 4 inherits nothing
  // after the folder is made).
  if (security.setControl != nullptr) security.setControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  return security.setFileSecurity(TextToWide(folder).c_str(), DACL_SECURITY_INFORMATION, &descriptor) != FALSE;
}

bool IsReparsePoint(const std::string& path) {
  const DWORD attributes = GetFileAttributesNamed(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}
