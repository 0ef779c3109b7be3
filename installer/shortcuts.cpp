#include "installer/shortcuts.h"

#include <shlobj.h>

#include <vector>

#include "app_base/module.h"
#include "app_base/settings.h"
#include "framework/com_ptr.h"
#include "framework/file_system.h"
#include "framework/handle.h"
#include "framework/path.h"
#include "framework/reg_key.h"
#include "framework/wide.h"
#include "framework/win_app.h"
#include "installer/install_job.h"
#include "installer/installer_routines.h"
#include "resources/resource.h"

namespace {

std::string LinkFileName(const std::string& linkFolder, const std::string& name) {
  return linkFolder + "\\" + name + ".lnk";
}

// The full form of path without trailing separators; empty when it has none.
std::string ComparablePath(const std::string& path) {
  std::string result;
  if (!GetFullPathNamed(path, result) || !FitsMaxPath(result)) return std::string();
  while (result.size() > 3 && (result.back() == '\\' || result.back() == '/')) result.pop_back();
  return result;
}

// The CSIDL of a shell folder the manifest uses; -1 for any other (the
// registry's list names it).
int ShellFolderId(const std::string& shellFolder, bool allUsers) {
  struct Folder {
    const char* name;
    int own;
    int common;
  };
  static const Folder kFolders[] = {
      {kProgramsShellFolder, CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS},
      {kDesktopShellFolder, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY},
  };
  for (const Folder& folder : kFolders)
    if (shellFolder == folder.name) return allUsers ? folder.common : folder.own;
  return -1;
}

}  // namespace

CSelfInstallShortcut::CSelfInstallShortcut(const std::string& name, const std::string& target,
                                           const char* arguments, int iconIndex)
    : Name(name),
      Target(target),
      Arguments(arguments != nullptr ? arguments : ""),
      ShellFolder(kProgramsShellFolder),
      SubFolder(AfxGetAppTitle()),
      IconIndex(iconIndex) {}

CSelfInstallShortcut::CSelfInstallShortcut(const std::string& name, const std::string& target,
                                           const std::string& arguments, int iconIndex)
    : CSelfInstallShortcut(name, target, arguments.c_str(), iconIndex) {}

bool CSelfInstallShortcut::GetFolder(std::string& folder, bool allUsers) const {
  folder.clear();
  // The system says where its folders are; the registry's list of them is
  // a copy kept for older programs, read where the system cannot say.
  std::string result;
  const int id = ShellFolderId(ShellFolder, allUsers);
  if (id < 0 || !InstallerRoutines().shellFolderPath(id, result)) {
    char shellFolder[kPathBufferBytes];
    const std::string valueName = allUsers ? kCommonShellFolderPrefix + ShellFolder : ShellFolder;
    if (!ReadRegistryString(allUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, kShellFoldersKey,
                            valueName.c_str(), shellFolder, sizeof shellFolder))
      return false;
    result = shellFolder;
  }
  if (!SubFolder.empty()) result += "\\" + SubFolder;
  if (result.empty() || !FitsMaxPath(result)) return false;
  folder = result;
  return true;
}

bool CSelfInstallShortcut::GetLinkFile(std::string& file, bool allUsers) const {
  file.clear();
  std::string folder;
  if (!GetFolder(folder, allUsers)) return false;
  std::string result = LinkFileName(folder, Name);
  if (!FitsMaxPath(result)) return false;
  file = result;
  return true;
}

bool CSelfInstallShortcut::Exists(bool allUsers) const {
  std::string file;
  if (!GetLinkFile(file, allUsers)) return false;
  return CFindFile(file.c_str()).IsValid();
}

void CSelfInstallShortcut::Install(const std::string& installFolder, bool allUsers) const {
  if (ShellFolder != kDesktopShellFolder ||
      GetSettingInt(kSettingsSection, kCreateDesktopShortcutEntry,
                    kCreateDesktopShortcutDefault) != 0)
    Create(installFolder, allUsers);
}

void CSelfInstallShortcut::Create(const std::string& installFolder, bool allUsers) const {
  std::string folder;
  std::string file;
  if (!GetFolder(folder, allUsers) || !GetLinkFile(file, allUsers)) return;  // no folder for a link too long
  CreateDirectoryNamed(folder.c_str(), nullptr);  // usually there already
  const HRESULT made = CreateShellLink(installFolder + Target, GetModuleFolder(), Name, Arguments,
                                       SW_SHOWNORMAL, IconIndex, folder);
  LogInstallResult("Create the link " + file, SUCCEEDED(made),
                   HRESULT_FACILITY(made) == FACILITY_WIN32 ? HRESULT_CODE(made)
                                                            : static_cast<DWORD>(made));
}

void CSelfInstallShortcut::Remove(bool allUsers) const {
  std::string folder;
  std::string file;
  if (!GetFolder(folder, allUsers) || !GetLinkFile(file, allUsers)) return;
  if (!DeleteFileNamed(file.c_str())) return;
  LogInstallStep("Remove the link " + file + ": done");
  // With no SubFolder the link lay in the shell folder itself, and a SubFolder
  // may still lead back to one ("..", "Programs" below "Start Menu").
  if (SubFolder.empty() || IsShellFolderPath(folder)) return;
  RemoveDirectoryNamed(folder.c_str());  // only when empty
}

HRESULT CreateShellLink(const std::string& targetPath, const std::string& workingFolder,
                        const std::string& description, const std::string& arguments,
                        int showCommand, int iconIndex, const std::string& linkFolder) {
  const std::string linkFile = LinkFileName(linkFolder, description);
  if (!FitsMaxPath(linkFile)) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  HRESULT result = E_FAIL;
  CComPtr<IPersistFile> file;
  if (UseWideCalls()) {
    CComPtr<IShellLinkW> link;
    result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.ReceiveVoid());
    if (FAILED(result)) return result;
    // SetPath answers S_FALSE for a target that is not there yet (install
    // step 2 may link a file still to come); none of these results stops
    // the link.
    link->SetPath(Utf8ToWide(targetPath).c_str());
    link->SetWorkingDirectory(Utf8ToWide(workingFolder).c_str());
    link->SetDescription(Utf8ToWide(description).c_str());
    link->SetArguments(Utf8ToWide(arguments).c_str());
    link->SetShowCmd(showCommand);
    link->SetIconLocation(Utf8ToWide(targetPath).c_str(), iconIndex);
    result = link->QueryInterface(IID_IPersistFile, file.ReceiveVoid());
  } else {
    // The 8-bit link of Windows 95, 98 and Me: every text in the system's
    // code page, or no link.
    std::string target, folder, text, args;
    if (!TextToAnsi(targetPath, target) || !TextToAnsi(workingFolder, folder) || !TextToAnsi(description, text) ||
        !TextToAnsi(arguments, args))
      return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
    CComPtr<IShellLinkA> link;
    result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.ReceiveVoid());
    if (FAILED(result)) return result;
    link->SetPath(target.c_str());
    link->SetWorkingDirectory(folder.c_str());
    link->SetDescription(text.c_str());
    link->SetArguments(args.c_str());
    link->SetShowCmd(showCommand);
    link->SetIconLocation(target.c_str(), iconIndex);
    result = link->QueryInterface(IID_IPersistFile, file.ReceiveVoid());
  }
  if (FAILED(result)) return result;
  return file->Save(TextToWide(linkFile).c_str(), TRUE);
}

namespace {

// 1 when a value of root's shell-folders key names `wanted`, 0 when none
// does, -1 when that cannot be told.
int ShellFolderListHas(HKEY root, const std::string& wanted) {
  CRegKey key;
  if (key.Open(root, kShellFoldersKey, KEY_READ) != ERROR_SUCCESS) return 0;
  std::string name;
  DWORD type = REG_NONE;
  std::vector<char> data;
  for (DWORD index = 0;; ++index) {
    LONG status = key.EnumValue(index, name, type, data);
    if (status == ERROR_NO_MORE_ITEMS) return 0;
    if (status != ERROR_SUCCESS) return -1;
    if (type != REG_SZ) continue;
    data.push_back('\0');
    const std::string shellFolder = ComparablePath(AnsiToText(data.data()));
    if (!shellFolder.empty() && SamePathText(shellFolder, wanted)) return 1;
  }
}

}  // namespace

bool IsShellFolderPath(const std::string& path) {
  const std::string wanted = ComparablePath(path);
  if (wanted.empty()) return true;
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
    if (ShellFolderListHas(root, wanted) != 0) return true;
  return false;
}
