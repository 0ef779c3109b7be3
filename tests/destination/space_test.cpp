// The destination dialog's logic without a window: space figures, the
// Install check, the chooser's folder composition and its walk of the
// current directory, on real files of the scratch prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/destination_dlg.h"
#include "tests/destination/host_space.h"
#include "tests/support/temp_dir.h"

namespace {

// A file of `size` bytes; -1 makes none.
void MakeFile(const std::string& path, int size) {
  if (size >= 0) {
    ASSERT_TRUE(WriteWholeFile(path, std::string(size, 'x'))) << path;
  }
}

TEST(PathHelpers, SeparatorsAndMissingFolders) {
  EXPECT_TRUE(IsPathSeparator('\\'));
  EXPECT_TRUE(IsPathSeparator('/'));
  for (char c : {':', 'a', '.', ' ', '\0', '|'}) EXPECT_FALSE(IsPathSeparator(c)) << int(c);

  CTempDir dir;
  MakeFile(dir / "file.txt", 5);
  struct Case {
    std::string path;
    bool missing;
  } cases[] = {
      {dir.GetPath(), false},         {dir.GetPath() + "\\", false},
      {dir.GetPath() + "/", false},   {dir / "file.txt", true},
      {dir / "nothing", true},        {"", true},
      {"C:\\", false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.missing, IsMissingFolder(c.path)) << c.path;
}

TEST(PathHelpers, FileSizeOrZero) {
  CTempDir dir;
  MakeFile(dir / "five", 5);
  MakeFile(dir / "empty", 0);
  EXPECT_EQ(5, GetFileSizeOrZero(dir / "five"));
  EXPECT_EQ(0, GetFileSizeOrZero(dir / "empty"));
  EXPECT_EQ(0, GetFileSizeOrZero(dir / "missing"));
  EXPECT_EQ(0, GetFileSizeOrZero(""));
}

TEST(FreeDiskSpace, FromTheRootOfADriveOrNothing) {
  unsigned long long kb = 12345;
  EXPECT_TRUE(GetFreeDiskSpaceKB("C:\\", kb));
  EXPECT_GT(kb, 0u);

  // No drive, or one that does not exist: failure with 0.
  for (const char* root : {"", "\\\\server\\share\\", "Q:\\"}) {
    kb = 12345;
    EXPECT_FALSE(GetFreeDiskSpaceKB(root, kb)) << root;
    EXPECT_EQ(0u, kb) << root;
  }
}

// The figure is the host's own: on our small disk to the KB, also once a file
// has taken some of it (the disk is empty at first, free space all of it).
TEST(FreeDiskSpace, IsTheHostsCountOfTheFreeSpace) {
  for (char letter : {'C', 'D'}) {
    SCOPED_TRACE(letter);
    HostSpace host;
    ASSERT_TRUE(ReadHostSpace(letter, &host)) << kNoHostSpace;
    const std::string root = std::string(1, letter) + ":\\";
    unsigned long long kb = 0;
    ASSERT_TRUE(GetFreeDiskSpaceKB(root, kb));
    EXPECT_TRUE(MatchesHostSpace(host, kb));

    const std::string file = root + "velmora-space-test.dat";
    ASSERT_TRUE(WriteWholeFile(file, std::string(10000, 'x')));
    EXPECT_TRUE(GetFreeDiskSpaceKB(root, kb));
    EXPECT_TRUE(MatchesHostSpace(host, kb, {10000}));
    EXPECT_TRUE(DeleteFileA(file.c_str()));
  }
}

TEST(DestinationSpace, NeededIsTheGrowthRoundedUpToWholeKB) {
  // Sizes of the listed files in the source and the destination (-1: no
  // such file there), and the space needed.
  struct Case {
    std::vector<int> source;
    std::vector<int> destination;
    const char* needed;
  } cases[] = {
      {{1}, {-1}, "1 KB"},
      {{0}, {-1}, "0 KB"},
      {{1024}, {-1}, "1 KB"},
      {{1025}, {-1}, "2 KB"},
      {{1000, 25}, {-1, -1}, "2 KB"},
      {{-1}, {-1}, "0 KB"},                    // a source file that cannot be read
      {{2048, 10}, {2048, 10}, "0 KB"},        // all present with the same sizes
      {{100}, {5000}, "0 KB"},                 // larger already present: never negative
      {{3000}, {1000}, "2 KB"},                // smaller present: only the growth
      {{3000, 100}, {-1, 5000}, "0 KB"},       // a shrinking file outweighs a new one
      {{5000, 100}, {-1, 3000}, "3 KB"},       // 5000 - 2900 = 2100
  };
  for (const Case& c : cases) {
    CTempDir source, destination;
    std::vector<std::string> names;
    for (size_t i = 0; i < c.source.size(); ++i) {
      names.push_back("file" + std::to_string(i) + ".dat");
      MakeFile(source / names.back(), c.source[i]);
      MakeFile(destination / names.back(), c.destination[i]);
    }
    DestinationSpace space =
        ComputeDestinationSpace(destination.GetPath(), source.GetPath() + "\\", names);
    EXPECT_EQ(c.needed, space.strNeeded) << ::testing::PrintToString(c.source) << " over "
                                         << ::testing::PrintToString(c.destination);
    // A folder given with its separator counts the same.
    EXPECT_EQ(c.needed,
              ComputeDestinationSpace(destination.GetPath() + "\\", source.GetPath() + "\\",
                                      names)
                  .strNeeded);
  }
}

TEST(DestinationSpace, DriveAndSpaceAvailableComeFromTheDriveLetter) {
  struct Case {
    const char* folder;
    const char* drive;
    char host;  // the drive whose host figure is shown; 0: "unknown"
  } cases[] = {
      {"C:\\Program Files\\Orvane Zenvero", "C:", 'C'},
      {"c:\\x", "C:", 'C'},
      {"d:\\x", "D:", 'D'},
      {"Q:", "Q:", 0},  // no such drive in the prefix
      {"\\\\server\\share\\x", "", 0},
      {"relative\\folder", "", 0},
      {"", "", 0},
  };
  for (const Case& c : cases) {
    DestinationSpace space = ComputeDestinationSpace(c.folder, "C:\\", {});
    EXPECT_EQ(c.drive, space.strDrive) << c.folder;
    if (c.host == 0) {
      EXPECT_EQ("unknown", space.strAvailable) << c.folder;
      continue;
    }
    HostSpace host;
    ASSERT_TRUE(ReadHostSpace(c.host, &host)) << kNoHostSpace;
    ASSERT_GT(space.strAvailable.size(), 3u) << c.folder;
    EXPECT_EQ(" KB", space.strAvailable.substr(space.strAvailable.size() - 3)) << c.folder;
    EXPECT_TRUE(MatchesHostSpace(host, ShownKB(space.strAvailable))) << c.folder;
  }
}

TEST(InstallCheck, RootsAreRefusedMissingFoldersAsked) {
  CTempDir dir;
  MakeFile(dir / "taken", 3);
  struct Case {
    std::string text;
    InstallFolderCheck check;
    std::string name;  // the working copy the question would show
  } cases[] = {
      {"C:\\", InstallFolderCheck::kRootRefused, "C:"},
      {"C:", InstallFolderCheck::kRootRefused, "C:"},
      {"d:/", InstallFolderCheck::kRootRefused, "d:"},
      // Roots in every other form, too.
      {"C:\\\\", InstallFolderCheck::kRootRefused, "C:\\"},
      {"C:\\.", InstallFolderCheck::kRootRefused, "C:\\."},
      {"C:\\Data\\..", InstallFolderCheck::kRootRefused, "C:\\Data\\.."},
      {"\\", InstallFolderCheck::kRootRefused, ""},
      {"\\\\server\\share", InstallFolderCheck::kRootRefused, "\\\\server\\share"},
      {"\\\\server\\share\\", InstallFolderCheck::kRootRefused, "\\\\server\\share"},
      {"\\\\?\\C:\\", InstallFolderCheck::kRootRefused, "\\\\?\\C:"},
      {"\\\\?\\UNC\\server\\share", InstallFolderCheck::kRootRefused, "\\\\?\\UNC\\server\\share"},
      {"\\\\server\\share\\Programs", InstallFolderCheck::kAskToCreate, "\\\\server\\share\\Programs"},
      {"C:\\Data\\", InstallFolderCheck::kAskToCreate, "C:\\Data"},
      {dir / "taken", InstallFolderCheck::kAskToCreate, dir / "taken"},
      {dir / "taken\\", InstallFolderCheck::kAskToCreate, dir / "taken"},
      {"", InstallFolderCheck::kAskToCreate, ""},
      {dir.GetPath(), InstallFolderCheck::kAccept, dir.GetPath()},
      {dir.GetPath() + "\\", InstallFolderCheck::kAccept, dir.GetPath()},
  };
  ASSERT_TRUE(IsMissingFolder("C:\\Data"));
  for (const Case& c : cases) {
    std::string name = "unchanged";
    EXPECT_EQ(c.check, CheckInstallFolder(c.text, name)) << c.text;
    EXPECT_EQ(c.name, name) << c.text;
  }
}

TEST(ChooserComposition, TreeListFollowsTheCurrentFolder) {
  // The platform's tree: item 0 the drive root, item k the k-th folder of the
  // current path, then its subfolders.
  const std::string current = "c:\\program files\\tools";
  struct Case {
    int index;
    const char* item;
    const char* folder;
  } cases[] = {
      {0, "c:\\", "c:\\"},
      {1, "program files", "c:\\program files"},
      {2, "tools", "c:\\program files\\tools"},
      {3, "data", "c:\\program files\\tools\\data"},
      {4, "more", "c:\\program files\\tools\\more"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.folder, ComposeListFolder(current, c.index, c.item, false)) << c.index;
  }
  // A current folder that already ends with its separator gets no second one.
  EXPECT_EQ("c:\\data", ComposeListFolder("c:\\", 1, "data", false));
}

TEST(ChooserComposition, DirectoryListingNamesParentSubfolderOrDrive) {
  struct Case {
    const char* current;
    const char* item;
    const char* folder;
  } cases[] = {
      {"c:\\windows\\fonts", "[..]", "c:\\windows"},
      {"c:\\windows", "[..]", "c:\\"},
      {"c:\\windows\\", "[..]", "c:\\"},
      {"c:\\", "[..]", "c:\\"},
      {"c:\\windows", "[system32]", "c:\\windows\\system32"},
      {"c:\\", "[windows]", "c:\\windows"},
      {"c:\\windows", "[-d-]", "d:\\"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.folder, ComposeListFolder(c.current, 1, c.item, true))
        << c.current << " " << c.item;
  }
}

TEST(ChooserWalk, TheCurrentDirectoryGoesAsFarAsTheFolderExists) {
  CCurrentDirectoryKeeper keeper;
  CTempDir dir;
  ASSERT_TRUE(CreateDirectoryA((dir / "a").c_str(), nullptr));
  const std::string start = CurrentDirectory();
  struct Case {
    std::string folder;
    std::string current;  // expected afterwards; empty: where it was
  } cases[] = {
      {dir / "a\\missing\\deeper", dir / "a"},
      {dir / "a", dir / "a"},
      {dir / "a\\", dir / "a"},
      {dir / "missing", dir.GetPath()},
      {dir.GetPath() + "/a", dir / "a"},
      {"", ""},
      {"Q:\\nothing", ""},
      {std::string(400, 'x'), ""},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetCurrentDirectoryA(start.c_str()));
    PointCurrentDirectoryAt(c.folder);
    std::string expected = c.current.empty() ? start : c.current;
    std::string actual = CurrentDirectory();
    if (!actual.empty() && actual.back() == '\\' && actual.size() > 3) actual.pop_back();
    EXPECT_EQ(Lower(expected), Lower(actual)) << c.folder;
  }
}

}  // namespace
