#pragma once
#include <windows.h>

#include <string>

// Shell links (".lnk" files) of the installed program. Where a link goes is
// a per-user shell folder ("Programs", "Desktop"...) named in the registry,
// optionally with a folder of its own below it. COM must be initialised.

// The key whose REG_SZ values name the per-user shell folders (below
// HKEY_CURRENT_USER).
constexpr const char kShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\shell folders";
constexpr const char kProgramsShellFolder[] = "Programs";
constexpr const char kDesktopShellFolder[] = "Desktop";
// The same key below HKEY_LOCAL_MACHINE names the folders of all users:
// "Common Programs", "Common Desktop"... (kCommonShellFolderPrefix + name).
constexpr const char kCommonShellFolderPrefix[] = "Common ";

// One shortcut of the install manifest.
struct CSelfInstallShortcut {
  // ShellFolder is "Programs" and SubFolder the application title; null or
  // absent arguments give empty Arguments.
  CSelfInstallShortcut(const std::string& name, const std::string& target,
                       const char* arguments = nullptr, int iconIndex = 0);
  CSelfInstallShortcut(const std::string& name, const std::string& target,
                       const std::string& arguments, int iconIndex = 0);

  // The link folder: the ShellFolder value, then "\" + SubFolder when that is
  // not empty. False, with folder empty, when the value is missing or the
  // folder would need more than 259 characters. With allUsers, the folder
  // of all users of that kind ("Common Programs" below HKEY_LOCAL_MACHINE),
  // where an installation for the whole machine puts its links.
  bool GetFolder(std::string& folder, bool allUsers = false) const;
  // The link file: link folder + "\" + Name + ".lnk"; false, with file empty,
  // when there is no link folder or the name would need more than 259
  // characters.
  bool GetLinkFile(std::string& file, bool allUsers = false) const;
  // True when the link file is there.
  bool Exists(bool allUsers = false) const;
  // Creates the link, except a desktop link the user did not ask for
  // ("Settings"/"CreateDesktopShortcut" 0 or missing).
  void Install(const std::string& installFolder, bool allUsers = false) const;
  // Creates the link folder (one level, an existing one is fine) and the link
  // to installFolder + Target. Failures are silent.
  void Create(const std::string& installFolder, bool allUsers = false) const;
  // Deletes the link file and then its folder if that is now empty; a shell
  // folder itself is never removed. A missing link leaves the folder alone.
  void Remove(bool allUsers = false) const;

  std::string Name;       // link name without ".lnk"; also its description
  std::string Target;     // file name relative to the install folder
  std::string Arguments;  // may be empty
  std::string ShellFolder;
  std::string SubFolder;  // below ShellFolder; may be empty
  int IconIndex;          // icon number inside Target
};

// Writes the link file linkFolder + "\" + description + ".lnk" through
// IShellLinkA and IPersistFile. Returns the failure of CoCreateInstance, of
// QueryInterface or of Save, else Save's result; a link file name of more
// than 259 characters is refused with
// HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE) before anything is made.
HRESULT CreateShellLink(const std::string& targetPath, const std::string& workingFolder,
                        const std::string& description, const std::string& arguments,
                        int showCommand, int iconIndex, const std::string& linkFolder);

// True when path names one of the shell folders, the user's or all users'
// (compared as full paths, case-insensitively), or when that cannot be told.
bool IsShellFolderPath(const std::string& path);
