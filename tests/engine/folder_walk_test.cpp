// The walk of a pattern's folder and the folders below it, through its
// search routine: a tree the test describes, with entries Wine cannot make
// (junctions and links to folders with their reparse-point attribute), and
// every search the walk makes recorded.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/folder_walk.h"

namespace {

constexpr DWORD kFile = FILE_ATTRIBUTE_ARCHIVE;
constexpr DWORD kFolder = FILE_ATTRIBUTE_DIRECTORY;
constexpr DWORD kLinkedFolder = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
constexpr DWORD kLinkedFile = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT;

// Pattern -> what the search returns; every search made, in order.
std::map<std::string, std::vector<FoundEntry>> g_tree;
std::vector<std::string> g_searches;

std::vector<FoundEntry> FindInTree(const std::string& pattern) {
  g_searches.push_back(pattern);
  const auto found = g_tree.find(pattern);
  return found == g_tree.end() ? std::vector<FoundEntry>() : found->second;
}

TEST(FolderWalk, EntersEveryFolderButVersionControlAndReparsePoints) {
  g_searches.clear();
  g_tree = {
      {"C:\\t\\*.txt", {{"a.txt", kFile}, {"folder.txt", kFolder}, {"link.txt", kLinkedFile}}},
      {"C:\\t\\*",
       {{".", kFolder},
        {"..", kFolder},
        {"a.txt", kFile},
        {"sub", kFolder},
        {".git", kFolder},
        {".SVN", kFolder | FILE_ATTRIBUTE_HIDDEN},
        {".Hg", kFolder},
        {"junction", kLinkedFolder},
        {"folder.txt", kFolder},
        {"link.txt", kLinkedFile}}},
      {"C:\\t\\sub\\*.txt", {{"b.txt", kFile}}},
      {"C:\\t\\sub\\*", {{".", kFolder}, {"..", kFolder}, {"b.txt", kFile}, {"deep", kFolder}}},
      {"C:\\t\\sub\\deep\\*.txt", {{"c.txt", kFile | FILE_ATTRIBUTE_HIDDEN}}},
      {"C:\\t\\sub\\deep\\*", {{".", kFolder}, {"..", kFolder}, {"c.txt", kFile}}},
      {"C:\\t\\folder.txt\\*", {{".", kFolder}, {"..", kFolder}, {"d.txt", kFile}}},
      {"C:\\t\\folder.txt\\*.txt", {{"d.txt", kFile}}},
  };
  // A link to a file is a match (the conversion leaves it with its own
  // line); a folder is none, but it is walked.
  EXPECT_EQ((std::vector<std::string>{"a.txt", "link.txt", "sub\\b.txt", "folder.txt\\d.txt", "sub\\deep\\c.txt"}),
            ListFilesBelow("C:\\t\\", "*.txt", FindInTree));
  EXPECT_EQ((std::vector<std::string>{"C:\\t\\*.txt", "C:\\t\\*", "C:\\t\\sub\\*.txt", "C:\\t\\sub\\*",
                                      "C:\\t\\folder.txt\\*.txt", "C:\\t\\folder.txt\\*",
                                      "C:\\t\\sub\\deep\\*.txt", "C:\\t\\sub\\deep\\*"}),
            g_searches);
}

TEST(FolderWalk, AFolderThatCannotBeSearchedGivesNothingAndTheWalkGoesOn) {
  g_searches.clear();
  g_tree = {
      {"C:\\t\\*", {{"locked", kFolder}, {"open", kFolder}}},
      {"C:\\t\\open\\*.c", {{"main.c", kFile}}},
  };
  EXPECT_EQ(std::vector<std::string>{"open\\main.c"}, ListFilesBelow("C:\\t\\", "*.c", FindInTree));
  EXPECT_EQ(6u, g_searches.size());
}

TEST(FolderWalk, ThePatternsFilePartAndTheFoldersOfVersionControl) {
  EXPECT_EQ("*.txt", PatternFilePart("C:\\notes\\*.txt"));
  EXPECT_EQ("*.txt", PatternFilePart("sub/*.txt"));
  EXPECT_EQ("a?.c", PatternFilePart("C:a?.c"));
  EXPECT_EQ("*.*", PatternFilePart("*.*"));
  EXPECT_EQ("", PatternFilePart("C:\\notes\\"));
  for (const char* name : {".git", ".GIT", ".svn", ".Svn", ".hg", ".HG"}) EXPECT_TRUE(IsVersionControlFolder(name));
  for (const char* name : {"git", ".github", ".gitignore", "svn", ".hgignore", ".", ".."})
    EXPECT_FALSE(IsVersionControlFolder(name)) << name;
}

}  // namespace
