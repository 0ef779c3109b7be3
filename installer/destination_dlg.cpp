#include "installer/destination_dlg.h"

#include <cctype>
#include <climits>
#include <exception>
#include <vector>

#include "app_base/settings.h"
#include "framework/file_system.h"
#include "framework/text_format.h"
#include "framework/wait_cursor.h"
#include "framework/wide.h"
#include "installer/backdrop.h"
#include "installer/progress_box.h"
#include "resources/resource.h"

namespace {

const char kChooseFolderTitle[] = "Choose Folder";  // the caption of template 1536
const char kCheckingSpace[] = "Checking necessary disk space...";
const char kRootRefused[] =
    "You cannot install this program in the root directory.  Please select a different "
    "directory.";

// The six controls of the system-folder block, never used.
const int kSystemFolderControls[] = {
    IDC_DEST_SYS_LABEL,          IDC_DEST_SYS_NEEDED_LABEL, IDC_DEST_SYS_SPACE_NEEDED,
    IDC_DEST_SYS_AVAILABLE_LABEL, IDC_DEST_SYS_DRIVE,       IDC_DEST_SYS_SPACE_AVAILABLE,
};

// The hidden controls of the old-style dialog that the chooser does not show.
const int kChooserHiddenControls[] = {
    IDC_CHOOSE_TYPE_LABEL, IDC_CHOOSE_FILE_NAME, IDC_CHOOSE_FILE_LIST, IDC_CHOOSE_TYPE_COMBO,
};

typedef BOOL(WINAPI* GetDiskFreeSpaceExProc)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                             PULARGE_INTEGER);

std::string ListBoxText(HWND list, int index) {
  // A Unicode window's list gives its names whole only through the W calls.
  if (IsWindowUnicode(list)) {
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR || length <= 0) return std::string();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    if (SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(buffer.data())) == LB_ERR)
      return std::string();
    return WideToText(buffer.data());
  }
  LRESULT length = SendMessageA(list, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR || length <= 0) return std::string();
  std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
  if (SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(buffer.data())) == LB_ERR) {
    return std::string();
  }
  return AnsiToText(buffer.data());
}

bool IsBracketed(const std::string& text) {
  return text.size() >= 2 && text.front() == '[' && text.back() == ']';
}

}  // namespace

bool GetFreeDiskSpaceKB(const std::string& rootPath, unsigned long long& kb) {
  kb = 0;
  // GetDiskFreeSpaceExA is missing from the first Windows 95: look it up.
  bool done = false;
  if (HMODULE kernel = LoadLibraryA("kernel32.dll")) {
    // Through a plain function pointer: GetProcAddress's type says nothing
    // of the parameters.
    auto getFreeEx = reinterpret_cast<GetDiskFreeSpaceExProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "GetDiskFreeSpaceExA")));
    ULARGE_INTEGER freeToCaller = {};
    ULARGE_INTEGER total = {};
    if (getFreeEx != nullptr && getFreeEx(rootPath.c_str(), &freeToCaller, &total, nullptr)) {
      kb = freeToCaller.QuadPart >> 10;
      done = true;
    }
    FreeLibrary(kernel);
  }
  if (done) return true;

  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  if (!GetDiskFreeSpaceA(rootPath.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                         &clusters)) {
    return false;
  }
  unsigned long long clusterBytes =
      static_cast<unsigned long long>(sectorsPerCluster) * bytesPerSector;
  if (clusterBytes == 0) clusterBytes = 1;
  kb = (clusterBytes * freeClusters) >> 10;
  return true;
}

long GetFileSizeOrZero(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExNamed(path.c_str(), &data)) return 0;
  unsigned long long size =
      (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return size > static_cast<unsigned long long>(LONG_MAX) ? LONG_MAX : static_cast<long>(size);
}

DestinationSpace ComputeDestinationSpace(const std::string& folderText,
                                         const std::string& sourceFolder,
                                         const std::vector<std::string>& fileNames) {
  DestinationSpace space;
  std::string folder = folderText;
  if (folder.empty() || !IsPathSeparator(folder.back())) folder += '\\';

  int drive = -1;
  if (folder.size() >= 2 && folder[1] == ':') {
    drive = std::toupper(static_cast<unsigned char>(folder[0])) - 64;
  }
  if (drive >= 0) {
    space.strDrive = static_cast<char>(drive + 64);
    space.strDrive += ':';
  }

  std::string root = space.strDrive.empty() ? std::string() : space.strDrive + "\\";
  unsigned long long freeKB = 0;
  space.strAvailable = GetFreeDiskSpaceKB(root, freeKB) ? std::to_string(freeKB) + " KB"
                                                        : std::string("unknown");

  // A file already in the folder counts only with the growth it brings.
  // Summed in 64 bits, so no number of large files can wrap the total.
  long long total = 0;
  for (const std::string& name : fileNames) {
    total += GetFileSizeOrZero(sourceFolder + name);
    total -= GetFileSizeOrZero(folder + name);
  }
  if (total < 0) total = 0;
  space.strNeeded = std::to_string((total + 1023) / 1024) + " KB";
  return space;
}

bool IsRootFolder(const std::string& folder) {
  std::string path = folder;
  for (char& c : path)
    if (c == '/') c = '\\';
  // The long-path forms name the same places.
  if (path.compare(0, 8, "\\\\?\\UNC\\") == 0) {
    path = "\\\\" + path.substr(8);
  } else if (path.compare(0, 4, "\\\\?\\") == 0 || path.compare(0, 4, "\\\\.\\") == 0) {
    path = path.substr(4);
  }
  // "C:" alone is the current folder of that drive: refused as it reads.
  if (path.size() == 2 && path[1] == ':') return true;
  // What the system makes of it: "C:\\", "C:\.", "\" and "C:\x\.." all name C:\.
  std::string full;
  if (GetFullPathNamed(path, full) && FitsMaxPath(full)) path = full;
  while (path.size() > 1 && path.back() == '\\') path.pop_back();
  if (path.size() == 2 && path[1] == ':') return true;
  // \\server and \\server\share: the root of a share.
  if (path.size() > 2 && path[0] == '\\' && path[1] == '\\') {
    const size_t server = path.find('\\', 2);
    return server == std::string::npos || path.find('\\', server + 1) == std::string::npos;
  }
  return path.empty() || path == "\\";
}

InstallFolderCheck CheckInstallFolder(const std::string& folderText, std::string& workingCopy) {
  workingCopy = folderText;
  if (!workingCopy.empty() && IsPathSeparator(workingCopy.back())) workingCopy.pop_back();
  if (!workingCopy.empty() && workingCopy.back() == ':') return InstallFolderCheck::kRootRefused;
  // A root in any other form too: installing there would mix the program's
  // files with whatever else lies there, and uninstalling would delete them.
  if (!folderText.empty() && IsRootFolder(folderText)) return InstallFolderCheck::kRootRefused;
  if (IsMissingFolder(workingCopy)) return InstallFolderCheck::kAskToCreate;
  return InstallFolderCheck::kAccept;
}

std::string ComposeListFolder(const std::string& current, int index, const std::string& item,
                              bool directoryListing) {
  if (directoryListing) {
    std::string name = IsBracketed(item) ? item.substr(1, item.size() - 2) : item;
    if (name == "..") return ParentFolder(current);
    if (name.size() == 3 && name[0] == '-' && name[2] == '-') {
      return std::string(1, name[1]) + ":\\";
    }
    std::string folder = current;
    if (folder.empty() || !IsPathSeparator(folder.back())) folder += '\\';
    return folder + name;
  }

  if (index <= 0) return item;
  // Item k is the k-th folder of `current`: keep the path up to it.
  std::string cut = current;
  int separators = 0;
  for (size_t i = 0; i < current.size(); ++i) {
    if (IsPathSeparator(current[i]) && ++separators == index) {
      cut = current.substr(0, i);
      break;
    }
  }
  if (cut.empty() || !IsPathSeparator(cut.back())) cut += '\\';
  return cut + item;
}

void PointCurrentDirectoryAt(const std::string& folder) {
  if (folder.size() > 2) SetCurrentDirectoryNamed(folder.substr(0, 3).c_str());
  size_t start = 0;
  for (;;) {
    size_t separator = std::string::npos;
    for (size_t i = start; i < folder.size(); ++i) {
      if (IsPathSeparator(folder[i])) {
        separator = i;
        break;
      }
    }
    if (separator == std::string::npos) {
      SetCurrentDirectoryNamed(folder.c_str());
      return;
    }
    if (!SetCurrentDirectoryNamed(folder.substr(0, separator + 1).c_str())) return;
    start = separator + 1;
  }
}

std::string ProposedInstallFolder(const std::string& folder, const std::string& sourceFolder,
                                  const std::string& appTitle) {
  if (!folder.empty()) return folder;
  char programFiles[kPathBufferBytes] = "";
  if (ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
                         "ProgramFilesDir", programFiles, sizeof programFiles) &&
      programFiles[0] != '\0') {
    return std::string(programFiles) + "\\" + appTitle;
  }
  return sourceFolder;
}

bool ChooseDestinationFolder(HWND parent, std::string& installFolder,
                             const std::string& sourceFolder, const std::string& appTitle,
                             const std::vector<std::string>& fileNames) {
  const std::string proposal = ProposedInstallFolder(installFolder, sourceFolder, appTitle);
  try {
    CSelfInstallDestinationDlg dlg(proposal, sourceFolder, appTitle, fileNames, parent);
    if (dlg.DoModal() != IDOK) return true;
    installFolder = dlg.m_strDestination;
    return false;
  } catch (const std::exception&) {
    // A dialog that fails counts as Cancel.
    return true;
  }
}

bool ChooseFolder(HWND parent, std::string& folder) {
  try {
    CSelfInstallChooseFolderDlg dlg(parent);
    dlg.m_strFolder = folder;
    PointCurrentDirectoryAt(folder);
    if (dlg.DoModal() != IDOK) return false;
    folder = dlg.m_strFolder;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// The destination dialog.

const MessageMapEntry CSelfInstallDestinationDlg::kMessageEntries[] = {
    MapCommand(IDC_DEST_BROWSE, &CSelfInstallDestinationDlg::OnBrowse),
};
const MessageMap CSelfInstallDestinationDlg::kMessageMap =
    MakeMessageMap(&CDialog::kMessageMap, kMessageEntries);

// The help file has no topic for the installer's dialogs: F1 asks for none.
CSelfInstallDestinationDlg::CSelfInstallDestinationDlg()
    : CDialog(IDD_SELFINSTALL_DESTINATION) {
  m_nIDHelp = 0;
}

CSelfInstallDestinationDlg::CSelfInstallDestinationDlg(const std::string& destination,
                                                       const std::string& source,
                                                       const std::string& appTitle,
                                                       const std::vector<std::string>& fileNames,
                                                       HWND parent)
    : CDialog(IDD_SELFINSTALL_DESTINATION, parent),
      m_strDestination(destination),
      m_strSource(source),
      m_strAppTitle(appTitle),
      m_FileNames(fileNames) {
  m_nIDHelp = 0;
}

BOOL CSelfInstallDestinationDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetDlgItemText(IDC_DEST_FOLDER, m_strDestination.c_str());
  SetDlgItemText(IDC_DEST_INTRO,
                 FormatWithText(GetDlgItemText(IDC_DEST_INTRO), m_strAppTitle).c_str());
  UpdateSpaceInfo();
  CenterWindow();
  return TRUE;
}

void CSelfInstallDestinationDlg::UpdateSpaceInfo() {
  CWaitCursor wait;
  // While the dialog is being built it is not on the screen yet: the
  // progress box then belongs to the dialog's owner.
  CProgressBox message(kCheckingSpace, IsWindowVisible() ? m_hWnd : GetParent());
  DestinationSpace space =
      ComputeDestinationSpace(GetDlgItemText(IDC_DEST_FOLDER), m_strSource, m_FileNames);
  SetDlgItemText(IDC_DEST_DRIVE, space.strDrive.c_str());
  SetDlgItemText(IDC_DEST_SPACE_AVAILABLE, space.strAvailable.c_str());
  SetDlgItemText(IDC_DEST_SPACE_NEEDED, space.strNeeded.c_str());
  for (int id : kSystemFolderControls) GetDlgItem(id).ShowWindow(SW_HIDE);
}

void CSelfInstallDestinationDlg::OnOK() {
  m_strDestination = GetDlgItemText(IDC_DEST_FOLDER);
  std::string folder;
  switch (CheckInstallFolder(m_strDestination, folder)) {
    case InstallFolderCheck::kRootRefused:
      InstallerMessageBox(m_hWnd, kRootRefused, MB_OK | MB_ICONEXCLAMATION);
      GetDlgItem(IDC_DEST_FOLDER).SetFocus();
      return;
    case InstallFolderCheck::kAskToCreate:
      if (InstallerMessageBox(m_hWnd,
                              "The folder \"" + folder +
                                  "\" doesn't exist.  Do you want to create it?",
                              MB_YESNO | MB_ICONQUESTION) == IDNO) {
        return;
      }
      break;
    case InstallFolderCheck::kAccept:
      break;
  }
  EndDialog(IDOK);
}

void CSelfInstallDestinationDlg::OnBrowse() {
  std::string folder = GetDlgItemText(IDC_DEST_FOLDER);
  if (ChooseFolder(m_hWnd, folder)) {
    SetDlgItemText(IDC_DEST_FOLDER, folder.c_str());
    UpdateSpaceInfo();
  }
}

// The folder chooser.

const MessageMapEntry CSelfInstallChooseFolderDlg::kMessageEntries[] = {
    MapControl(EN_CHANGE, IDC_CHOOSE_FOLDER, &CSelfInstallChooseFolderDlg::OnFolderChange),
    MapControl(LBN_SELCHANGE, IDC_CHOOSE_FOLDER_LIST,
               &CSelfInstallChooseFolderDlg::OnFolderListSelChange),
};
const MessageMap CSelfInstallChooseFolderDlg::kMessageMap =
    MakeMessageMap(&CFileDialog::kMessageMap, kMessageEntries);

CSelfInstallChooseFolderDlg::CSelfInstallChooseFolderDlg(HWND parent)
    : CFileDialog(false, nullptr, nullptr,
                  OFN_HIDEREADONLY | OFN_ENABLETEMPLATE | OFN_LONGNAMES | OFN_NOTESTFILECREATE,
                  nullptr, parent) {
  // Without OFN_NOTESTFILECREATE the platform would create and delete "Junk"
  // in the folder on OK, and refuse a folder the user cannot write to.
  // The old-style dialog: its folder list, drive list and current-folder
  // text are what the template keeps.
  m_ofn.Flags &= ~OFN_EXPLORER;
  m_ofn.lpstrDefExt = nullptr;
  m_ofn.lpTemplateName = MAKEINTRESOURCEA(IDD_SELFINSTALL_CHOOSE_FOLDER);
  // Without a title some platforms caption the dialog "Save As" whatever the
  // template says; give it the template's own caption.
  SetTitle(kChooseFolderTitle);
}

BOOL CSelfInstallChooseFolderDlg::OnInitDialog() {
  // The help file has no topic for the installer's dialogs (the file dialog
  // takes the template's number as its help id when it starts).
  m_nIDHelp = 0;
  for (int id : kChooserHiddenControls) GetDlgItem(id).ShowWindow(SW_HIDE);
  // The platform checks the file name when OK is pressed; this one is never
  // opened or created, since only the folder is used.
  SetDlgItemText(IDC_CHOOSE_FILE_NAME, "Junk");
  SetDlgItemText(IDC_CHOOSE_FOLDER, m_strFolder.c_str());
  CFileDialog::OnInitDialog();
  CenterWindow();
  return FALSE;
}

void CSelfInstallChooseFolderDlg::OnFolderChange() {
  m_strFolder = GetDlgItemText(IDC_CHOOSE_FOLDER);
  Default();  // the platform sees its notifications as well
}

void CSelfInstallChooseFolderDlg::OnFolderListSelChange() {
  HWND list = GetDlgItem(IDC_CHOOSE_FOLDER_LIST);
  Default();
  LRESULT selected = ::SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (selected == LB_ERR) return;
  int index = static_cast<int>(selected);
  // The platform's tree starts with the drive root; a directory listing
  // brackets every item ("[..]", "[name]").
  bool directoryListing = IsBracketed(ListBoxText(list, 0));
  m_strFolder = ComposeListFolder(GetDlgItemText(IDC_CHOOSE_CURRENT_DIR), index,
                                  ListBoxText(list, index), directoryListing);
  SetDlgItemText(IDC_CHOOSE_FOLDER, m_strFolder.c_str());
}
