#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app_base/module.h"
#include "app_base/settings.h"
#include "framework/com_ptr.h"
#include "framework/handle.h"
#include "installer/installer_routines.h"
#include "installer/shortcuts.h"
#include "tests/support/scoped_routines.h"
#include "tests/support/shell_link.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const WIN32_FIND_DATAA& data : CFindFile((folder + "\\*").c_str())) {
    std::string name = data.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Points the per-user "Programs" and "Desktop" shell folders at fresh
// temporary folders for one test and puts the old values back afterwards;
// starts with an empty settings profile. The system is made to know none of
// its folders, so that the links go where the registry's list points.
CInstallerRoutines WithoutSystemFolders() {
  CInstallerRoutines routines = InstallerRoutines();
  routines.shellFolderPath = [](int, std::string&) { return false; };
  return routines;
}

class ShortcutsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    SetProfileLocation("Orvane", "Zenvero");
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Orvane");
    m_Programs = m_Temp / "Programs";
    m_Desktop = m_Temp / "Desktop";
    m_InstallFolder = m_Temp / "Install" + "\\";
    CreateDirectoryA(m_Programs.c_str(), nullptr);
    CreateDirectoryA(m_Desktop.c_str(), nullptr);
    CreateDirectoryA(m_InstallFolder.c_str(), nullptr);
    ASSERT_TRUE(EnsureRegistryKey(HKEY_CURRENT_USER, kShellFoldersKey));
    for (const char* name : {kProgramsShellFolder, kDesktopShellFolder}) {
      m_Saved.push_back(GetRegistryString(HKEY_CURRENT_USER, kShellFoldersKey, name, ""));
    }
    ASSERT_TRUE(SetShellFolder(kProgramsShellFolder, m_Programs));
    ASSERT_TRUE(SetShellFolder(kDesktopShellFolder, m_Desktop));
  }
  void TearDown() override {
    SetShellFolder(kProgramsShellFolder, m_Saved[0]);
    SetShellFolder(kDesktopShellFolder, m_Saved[1]);
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Orvane");
    CoUninitialize();
  }
  static bool SetShellFolder(const char* name, const std::string& path) {
    if (path.empty()) {
      DeleteRegistryValue(HKEY_CURRENT_USER, kShellFoldersKey, name);
      return true;
    }
    return WriteRegistryString(HKEY_CURRENT_USER, kShellFoldersKey, name, path.c_str());
  }

  CScopedRoutines<CInstallerRoutines> m_Routines{SetInstallerRoutines, WithoutSystemFolders()};
  CTempDir m_Temp;
  std::string m_Programs, m_Desktop, m_InstallFolder;
  std::vector<std::string> m_Saved;
};

// The program's three links, as the manifest lists them.
std::vector<CSelfInstallShortcut> ProgramShortcuts() {
  return {CSelfInstallShortcut("Orvane Zenvero", "Velmora.exe", nullptr, 0),
          CSelfInstallShortcut("Read Me", "Readme.txt", nullptr, 0),
          CSelfInstallShortcut("Uninstall Orvane Zenvero", "Velmora.exe", "/uninstall", 2)};
}

TEST_F(ShortcutsTest, RecordFromNameTargetArgumentsAndIcon) {
  CSelfInstallShortcut plain("Read Me", "Readme.txt");
  EXPECT_EQ("", plain.Arguments);
  EXPECT_EQ(0, plain.IconIndex);
  EXPECT_EQ("Programs", plain.ShellFolder);
  EXPECT_EQ("Orvane Zenvero", plain.SubFolder);  // the application title
  CSelfInstallShortcut withArguments("U", "Velmora.exe", std::string("/uninstall"), 2);
  EXPECT_EQ("/uninstall", withArguments.Arguments);
  EXPECT_EQ(2, withArguments.IconIndex);

  std::string folder;
  ASSERT_TRUE(plain.GetFolder(folder));
  EXPECT_EQ(m_Programs + "\\Orvane Zenvero", folder);
  plain.SubFolder.clear();
  ASSERT_TRUE(plain.GetFolder(folder));
  EXPECT_EQ(m_Programs, folder);
}

// Installing writes each link with its target in the install folder, the
// running program's folder as working folder, the name as description, the
// arguments, the icon and a normal window; installing again over the links
// rewrites them in place. The targets need not exist yet.
TEST_F(ShortcutsTest, InstalledLinksReadBackThroughTheShell) {
  ASSERT_TRUE(WriteWholeFile(m_InstallFolder + "Readme.txt", "read me\r\n"));
  const std::string linkFolder = m_Programs + "\\Orvane Zenvero";
  for (const std::string& installFolder : {m_InstallFolder, m_Temp / "Other" + "\\"}) {
    for (const CSelfInstallShortcut& shortcut : ProgramShortcuts()) shortcut.Install(installFolder);

    EXPECT_EQ((std::vector<std::string>{"Orvane Zenvero.lnk", "Read Me.lnk",
                                        "Uninstall Orvane Zenvero.lnk"}),
              FilesIn(linkFolder));
    for (const CSelfInstallShortcut& shortcut : ProgramShortcuts()) {
      SCOPED_TRACE(shortcut.Name + " in " + installFolder);
      EXPECT_TRUE(shortcut.Exists());
      LinkContents link;
      ASSERT_TRUE(ReadShellLink(linkFolder + "\\" + shortcut.Name + ".lnk", &link));
      EXPECT_EQ(installFolder + shortcut.Target, link.path);
      EXPECT_EQ(shortcut.Arguments, link.arguments);
      EXPECT_EQ(GetModuleFolder(), link.workingFolder);
      EXPECT_EQ(shortcut.Name, link.description);
      EXPECT_EQ(installFolder + shortcut.Target, link.iconFile);
      EXPECT_EQ(shortcut.IconIndex, link.iconIndex);
      EXPECT_EQ(SW_SHOWNORMAL, link.showCommand);
    }
  }
}

// With the built program installed, each link's icon is one the shell can
// show: the program's links name icons the executable holds (the uninstall
// link's number 2 too), the Read Me link the icon of its text file.
TEST_F(ShortcutsTest, EachLinksIconResolvesInTheInstalledProgram) {
  std::string exe = "Z:" VELMORA_EXE_FILE;
  std::replace(exe.begin(), exe.end(), '/', '\\');
  ASSERT_TRUE(CopyFileA(exe.c_str(), (m_InstallFolder + "Velmora.exe").c_str(), FALSE)) << exe;
  ASSERT_TRUE(WriteWholeFile(m_InstallFolder + "Readme.txt", "read me\r\n"));
  for (const CSelfInstallShortcut& shortcut : ProgramShortcuts()) {
    SCOPED_TRACE(shortcut.Name);
    shortcut.Install(m_InstallFolder);
    LinkContents link;
    ASSERT_TRUE(ReadShellLink(m_Programs + "\\Orvane Zenvero\\" + shortcut.Name + ".lnk", &link));
    HICON icon = nullptr;
    if (shortcut.Target == "Velmora.exe") {
      EXPECT_EQ(1u, ExtractIconExA(link.iconFile.c_str(), link.iconIndex, &icon, nullptr, 1));
    } else {
      // A file that holds no icons: the shell shows its type's icon.
      EXPECT_EQ(0u, ExtractIconExA(link.iconFile.c_str(), -1, nullptr, nullptr, 0));
      SHFILEINFOA info = {};
      SHGetFileInfoA(link.iconFile.c_str(), 0, &info, sizeof info, SHGFI_ICON);
      icon = info.hIcon;
    }
    EXPECT_NE(nullptr, icon) << link.iconFile << "," << link.iconIndex;
    if (icon != nullptr) DestroyIcon(icon);
  }
}

TEST_F(ShortcutsTest, CreateShellLinkSavesWithoutAnExistingTarget) {
  const std::string missing = m_InstallFolder + "NotYet.exe";
  EXPECT_EQ(S_OK, CreateShellLink(missing, "C:\\", "Later", "-x", SW_SHOWNORMAL, 1, m_Programs));
  LinkContents link;
  ASSERT_TRUE(ReadShellLink(m_Programs + "\\Later.lnk", &link));
  EXPECT_EQ(missing, link.path);
  EXPECT_EQ("-x", link.arguments);
  EXPECT_EQ(1, link.iconIndex);
}

// A desktop link is made only when the user asked for it.
TEST_F(ShortcutsTest, DesktopLinkOnlyWhenTheSettingSaysSo) {
  struct Case {
    int setting;  // -1: no entry
    bool made;
  };
  for (const Case& c : {Case{-1, false}, Case{0, false}, Case{1, true}}) {
    SCOPED_TRACE(c.setting);
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Orvane");
    if (c.setting >= 0) {
      ASSERT_TRUE(WriteSettingInt("Settings", "CreateDesktopShortcut", c.setting));
    }
    CSelfInstallShortcut desktop("Orvane Zenvero", "Velmora.exe");
    desktop.ShellFolder = "Desktop";
    desktop.SubFolder.clear();
    desktop.Install(m_InstallFolder);
    EXPECT_EQ(c.made, desktop.Exists());
    EXPECT_EQ(c.made, GetFileAttributesA((m_Desktop + "\\Orvane Zenvero.lnk").c_str()) !=
                          INVALID_FILE_ATTRIBUTES);
    desktop.Remove();
    EXPECT_FALSE(desktop.Exists());
    EXPECT_TRUE(IsFolder(m_Desktop));  // the desktop itself stays
  }
  // Other shell folders do not ask.
  SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Orvane");
  CSelfInstallShortcut programs("Orvane Zenvero", "Velmora.exe");
  programs.Install(m_InstallFolder);
  EXPECT_TRUE(programs.Exists());
}

// Removing the program's links one by one takes the folder with the last;
// a file of the user's keeps it.
TEST_F(ShortcutsTest, RemoveTakesTheFolderOnlyWhenEmpty) {
  const std::string linkFolder = m_Programs + "\\Orvane Zenvero";
  for (bool userFile : {false, true}) {
    SCOPED_TRACE(userFile ? "with a file of the user's" : "links only");
    for (const CSelfInstallShortcut& shortcut : ProgramShortcuts()) shortcut.Install(m_InstallFolder);
    if (userFile) {
      ASSERT_TRUE(WriteWholeFile(linkFolder + "\\Notes.txt", "mine"));
    }
    const std::vector<CSelfInstallShortcut> shortcuts = ProgramShortcuts();
    shortcuts[0].Remove();
    shortcuts[1].Remove();
    EXPECT_TRUE(IsFolder(linkFolder));
    shortcuts[2].Remove();
    for (const CSelfInstallShortcut& shortcut : shortcuts) EXPECT_FALSE(shortcut.Exists());
    EXPECT_EQ(!userFile, !IsFolder(linkFolder));
    if (userFile) {
      EXPECT_EQ(std::vector<std::string>{"Notes.txt"}, FilesIn(linkFolder));
      RemoveTree(linkFolder);
    }
    EXPECT_TRUE(IsFolder(m_Programs));
  }
}

TEST_F(ShortcutsTest, RemoveOfAMissingLinkLeavesTheEmptyFolder) {
  const std::string linkFolder = m_Programs + "\\Orvane Zenvero";
  ASSERT_TRUE(CreateDirectoryA(linkFolder.c_str(), nullptr));
  CSelfInstallShortcut("Read Me", "Readme.txt").Remove();
  EXPECT_TRUE(IsFolder(linkFolder));
}

// A link whose folder is a shell folder (no SubFolder, or one that leads
// back to a shell folder) leaves that folder in place even when it is empty.
TEST_F(ShortcutsTest, RemoveNeverTakesAShellFolder) {
  struct Case {
    const char* shellFolder;
    const char* subFolder;
    std::string expectedFolder;
  };
  const std::vector<Case> cases = {
      {"Programs", "", m_Programs},
      {"Desktop", "", m_Desktop},
      {"Programs", ".", m_Programs},
      {"Desktop", "..\\Programs", m_Programs},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.shellFolder) + " / " + c.subFolder);
    CSelfInstallShortcut shortcut("Orvane Zenvero", "Velmora.exe");
    shortcut.ShellFolder = c.shellFolder;
    shortcut.SubFolder = c.subFolder;
    shortcut.Create(m_InstallFolder);
    ASSERT_TRUE(shortcut.Exists());
    ASSERT_EQ(std::vector<std::string>{"Orvane Zenvero.lnk"}, FilesIn(c.expectedFolder));
    shortcut.Remove();
    EXPECT_FALSE(shortcut.Exists());
    EXPECT_TRUE(IsFolder(c.expectedFolder));
  }
}

// Without its shell-folders value a record does nothing at all.
TEST_F(ShortcutsTest, MissingShellFolderValueDoesNothing) {
  ASSERT_TRUE(WriteSettingInt("Settings", "CreateDesktopShortcut", 1));
  for (const char* name : {"NoSuchFolder", "Desktop"}) {
    SCOPED_TRACE(name);
    DeleteRegistryValue(HKEY_CURRENT_USER, kShellFoldersKey, "Desktop");
    CSelfInstallShortcut shortcut("Orvane Zenvero", "Velmora.exe");
    shortcut.ShellFolder = name;
    std::string folder = "stale";
    EXPECT_FALSE(shortcut.GetFolder(folder));
    EXPECT_EQ("", folder);
    EXPECT_FALSE(shortcut.Exists());
    shortcut.Install(m_InstallFolder);
    shortcut.Create(m_InstallFolder);
    shortcut.Remove();
    EXPECT_TRUE(FilesIn(m_Desktop).empty());
    EXPECT_TRUE(FilesIn(m_Programs).empty());
  }
}

// Where the system knows its folders, the links go there, whatever the
// registry's list says: the user's own and those of all users.
TEST_F(ShortcutsTest, TheSystemsFoldersComeBeforeTheRegistrysList) {
  CScopedRoutines<CInstallerRoutines> system(SetInstallerRoutines, DefaultInstallerRoutines());
  const struct {
    const char* shellFolder;
    bool allUsers;
    int csidl;
  } cases[] = {{kProgramsShellFolder, false, CSIDL_PROGRAMS},
               {kProgramsShellFolder, true, CSIDL_COMMON_PROGRAMS},
               {kDesktopShellFolder, false, CSIDL_DESKTOPDIRECTORY},
               {kDesktopShellFolder, true, CSIDL_COMMON_DESKTOPDIRECTORY}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.shellFolder) + (c.allUsers ? " of all users" : ""));
    char expected[MAX_PATH];
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathA(nullptr, c.csidl, nullptr, 0, expected)));
    CSelfInstallShortcut shortcut("Orvane Zenvero", "Velmora.exe");
    shortcut.ShellFolder = c.shellFolder;
    std::string folder;
    ASSERT_TRUE(shortcut.GetFolder(folder, c.allUsers));
    EXPECT_EQ(std::string(expected) + "\\Orvane Zenvero", folder);
    EXPECT_NE(m_Programs + "\\Orvane Zenvero", folder);
  }
}

// Link file names are held in MAX_PATH buffers: 259 characters are made,
// longer ones refused before anything is written.
TEST_F(ShortcutsTest, LinkNamesBeyond259CharactersAreRefused) {
  CSelfInstallShortcut shortcut("x", "Velmora.exe");
  shortcut.SubFolder = "Long";
  const std::string linkFolder = m_Programs + "\\Long";
  const size_t room = 259 - (linkFolder.size() + 1 + 4);  // name length that gives 259
  ASSERT_LT(room, 255u);

  shortcut.Name = std::string(room, 'n');
  std::string file;
  ASSERT_TRUE(shortcut.GetLinkFile(file));
  EXPECT_EQ(259u, file.size());
  shortcut.Create(m_InstallFolder);
  EXPECT_TRUE(shortcut.Exists());
  shortcut.Remove();
  EXPECT_FALSE(IsFolder(linkFolder));

  shortcut.Name = std::string(room + 1, 'n');
  EXPECT_FALSE(shortcut.GetLinkFile(file));
  EXPECT_EQ("", file);
  shortcut.Create(m_InstallFolder);
  EXPECT_FALSE(shortcut.Exists());
  EXPECT_FALSE(IsFolder(linkFolder));
  shortcut.Remove();
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE),
            CreateShellLink(m_InstallFolder + "Velmora.exe", "", shortcut.Name, "", SW_SHOWNORMAL,
                            0, linkFolder));

  // A folder alone beyond the limit is no folder.
  shortcut.Name = "x";
  shortcut.SubFolder = std::string(300, 's');
  std::string folder;
  EXPECT_FALSE(shortcut.GetFolder(folder));
  EXPECT_FALSE(shortcut.Exists());
  shortcut.Create(m_InstallFolder);
  EXPECT_TRUE(FilesIn(m_Programs).empty());
}

}  // namespace
