#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "framework/dialog.h"
#include "framework/file_dialog.h"
#include "framework/path.h"

// The destination dialog (template 501), its folder chooser (template 1536)
// and the disk-space helpers behind them.

// The space free to this user on the drive of `rootPath` ("C:\"), in KB;
// false (and 0) when neither GetDiskFreeSpaceExA nor GetDiskFreeSpaceA tells.
bool GetFreeDiskSpaceKB(const std::string& rootPath, unsigned long long& kb);
// The file's size, or 0 when its status cannot be read. A size beyond the
// range of a long counts as LONG_MAX.
long GetFileSizeOrZero(const std::string& path);

// The three figures the destination dialog shows for a folder text.
struct DestinationSpace {
  std::string strDrive;      // "C:", or empty without a drive letter
  std::string strAvailable;  // "1234 KB", or "unknown"
  std::string strNeeded;     // "12 KB": growth of the files, rounded up, never negative
};
// Works the figures out for installing `fileNames` from `sourceFolder`
// (ending with a separator) into `folder` (as typed; a separator is added).
DestinationSpace ComputeDestinationSpace(const std::string& folder,
                                         const std::string& sourceFolder,
                                         const std::vector<std::string>& fileNames);

// True when `folder` names the root of a drive or of a share in any form:
// "C:", "C:\", "C:\\", "C:\.", "\", "\\server\share", "\\?\C:\"...
bool IsRootFolder(const std::string& folder);

// What Install makes of the folder text.
enum class InstallFolderCheck {
  kAccept,        // an existing folder
  kRootRefused,   // a drive root such as C:\ or C:
  kAskToCreate,   // nothing, or not a folder, by that name: ask first
};
// `workingCopy` receives the text without one trailing separator, the name
// that the create question shows.
InstallFolderCheck CheckInstallFolder(const std::string& folderText, std::string& workingCopy);

// The folder that the chooser's folder list names when item `index` (text
// `item`) is selected while `current` is the folder the list shows. A list
// in the platform's tree form (item 0 the drive root, item k the k-th folder
// of `current`, then its subfolders) composes along `current`; a list in
// directory-listing form ("[..]", "[name]", "[-d-]") names the parent, a
// subfolder or a drive of `current`.
std::string ComposeListFolder(const std::string& current, int index, const std::string& item,
                              bool directoryListing);

// Points the current directory as far along `folder` as exists: the old-style
// file dialog opens in the current directory. Failures are not reported.
void PointCurrentDirectoryAt(const std::string& folder);

// The folder the destination dialog proposes: `folder` when it is not
// empty, else ProgramFilesDir + "\" + `appTitle`, else `sourceFolder`.
std::string ProposedInstallFolder(const std::string& folder, const std::string& sourceFolder,
                                  const std::string& appTitle);

// Asks where to install. `installFolder` is the proposal (empty:
// ProgramFilesDir + "\" + `appTitle`, else `sourceFolder`). Returns false
// when the user pressed Install, with `installFolder` set to the chosen text;
// true on Cancel or when the dialog cannot be shown, with `installFolder`
// unchanged.
bool ChooseDestinationFolder(HWND parent, std::string& installFolder,
                             const std::string& sourceFolder, const std::string& appTitle,
                             const std::vector<std::string>& fileNames);
// Lets the user pick or type a folder; true on OK with `folder` set, false
// otherwise with `folder` unchanged. Leaves the current directory where the
// walk towards `folder` and the chooser put it.
bool ChooseFolder(HWND parent, std::string& folder);

// "Choose Destination Location": the proposed folder, the space needed and
// free, Browse, Install and Cancel.
class CSelfInstallDestinationDlg : public CDialog {
 public:
  CSelfInstallDestinationDlg();
  CSelfInstallDestinationDlg(const std::string& destination, const std::string& source,
                             const std::string& appTitle, const std::vector<std::string>& fileNames,
                             HWND parent);

  std::string m_strDestination;  // the proposal; on Install the text of 1014 as shown
  std::string m_strSource;       // the running program's folder, with a separator
  std::string m_strAppTitle;     // replaces the "%s" of control 1013
  std::vector<std::string> m_FileNames;  // the bare names of the files to copy

  // Recomputes the drive, space available and space needed from the folder
  // shown in 1014, under the wait cursor and the progress box.
  void UpdateSpaceInfo();

  const MessageMap* GetMessageMap() const override { return &kMessageMap; }
  static const MessageMap kMessageMap;
  static const MessageMapEntry kMessageEntries[];

 protected:
  BOOL OnInitDialog() override;
  // Install: refuses a drive root, asks before a missing folder.
  void OnOK() override;
  void DoDataExchange(CDataExchange&) override {}

 private:
  void OnBrowse();
};

// "Choose Folder": the platform's old-style Save dialog reshaped into a
// folder picker. The folder is what 1014 shows: typed there, or composed from
// a selection in the folder list.
class CSelfInstallChooseFolderDlg : public CFileDialog {
 public:
  explicit CSelfInstallChooseFolderDlg(HWND parent = nullptr);

  std::string m_strFolder;

  const MessageMap* GetMessageMap() const override { return &kMessageMap; }
  static const MessageMap kMessageMap;
  static const MessageMapEntry kMessageEntries[];

 protected:
  BOOL OnInitDialog() override;

 private:
  void OnFolderChange();
  void OnFolderListSelChange();
};
