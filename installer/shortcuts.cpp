#include "installer/shortcuts.h"

#include <shlobj.h>

#include <vector>

#include "app_base/module.h"
#include "app_base/settings.h"
#include "framework/com_ptr.h"
#include "framework/handle.h"
#include "framework/reg_key.h"
#include "framework/win_app.h"
#include "installer/install_job.h"
#include "resources/resource.h"

namespace {

// Longest path a MAX_PATH buffer holds with its final zero.
const std::string::size_type kMaxPathLength = MAX_PATH - 1;

std::string LinkFileName(const std::string& linkFolder, const std::string& name) {
  return linkFolder + "\\" + name + ".lnk";
}

// The full form of path without trailing separators; empty when it has none.
std::string ComparablePath(const std::string& path) {
  char full[MAX_PATH];
  DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH) return std::string();
  std::string result(full, length);
  while (result.size() > 3 && (result.back() == '\\' || result.back() == '/')) result.pop_back();
  return result;
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
  char shellFolder[MAX_PATH];
  const std::string valueName = allUsers ? kCommonShellFolderPrefix + ShellFolder : ShellFolder;
  if (!ReadRegistryString(allUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, kShellFoldersKey,
                          valueName.c_str(), shellFolder, sizeof shellFolder))
    return false;
  std::string result = shellFolder;
  if (!SubFolder.empty()) result += "\\" + SubFolder;
  if (result.empty() || result.size() > kMaxPathLength) return false;
  folder = result;
  return true;
}

bool CSelfInstallShortcut::GetLinkFile(std::string& file, bool allUsers) const {
  file.clear();
  std::string folder;
  if (!GetFolder(folder, allUsers)) return false;
  std::string result = LinkFileName(folder, Name);
  if (result.size() > kMaxPathLength) return false;
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
  CreateDirectoryA(folder.c_str(), nullptr);  // usually there already
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
  if (!DeleteFileA(file.c_str())) return;
  LogInstallStep("Remove the link " + file + ": done");
  // With no SubFolder the link lay in the shell folder itself, and a SubFolder
  // may still lead back to one ("..", "Programs" below "Start Menu").
  if (SubFolder.empty() || IsShellFolderPath(folder)) return;
  RemoveDirectoryA(folder.c_str());  // only when empty
}

HRESULT CreateShellLink(const std::string& targetPath, const std::string& workingFolder,
                        const std::string& description, const std::string& arguments,
                        int showCommand, int iconIndex, const std::string& linkFolder) {
  const std::string linkFile = LinkFileName(linkFolder, description);
  if (linkFile.size() > kMaxPathLength) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);

  CComPtr<IShellLinkA> link;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IShellLinkA, link.ReceiveVoid());
  if (FAILED(result)) return result;

  // SetPath answers S_FALSE for a target that is not there yet (install step
  // 2 may link a file still to come); none of these results stops the link.
  link->SetPath(targetPath.c_str());
  link->SetWorkingDirectory(workingFolder.c_str());
  link->SetDescription(description.c_str());
  link->SetArguments(arguments.c_str());
  link->SetShowCmd(showCommand);
  link->SetIconLocation(targetPath.c_str(), iconIndex);

  CComPtr<IPersistFile> file;
  result = link->QueryInterface(IID_IPersistFile, file.ReceiveVoid());
  if (FAILED(result)) return result;
  WCHAR wideName[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, linkFile.c_str(), -1, wideName, MAX_PATH) == 0)
    return HRESULT_FROM_WIN32(GetLastError());
  return file->Save(wideName, TRUE);
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
    const std::string shellFolder = ComparablePath(data.data());
    if (!shellFolder.empty() && lstrcmpiA(shellFolder.c_str(), wanted.c_str()) == 0) return 1;
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
