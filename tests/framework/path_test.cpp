// The path helpers: how a folder, an extension and a pattern's folder are
// formed.
#include "framework/path.h"

#include <gtest/gtest.h>

namespace {

TEST(Path, JoinsFoldersAndExtensions) {
  const struct {
    const char* path;
    const char* withSeparator;
    const char* withChm;
  } cases[] = {
      {"", "", ".chm"},
      {"C:\\Tools", "C:\\Tools\\", "C:\\Tools.chm"},
      {"C:\\Tools\\", "C:\\Tools\\", "C:\\Tools\\.chm"},
      {"C:/Tools/", "C:/Tools/", "C:/Tools/.chm"},
      {"C:\\Tools\\Velmora.exe", "C:\\Tools\\Velmora.exe\\", "C:\\Tools\\Velmora.chm"},
      {"C:\\My.Tools\\Velmora", "C:\\My.Tools\\Velmora\\", "C:\\My.Tools\\Velmora.chm"},
      {"notes.v2.txt", "notes.v2.txt\\", "notes.v2.chm"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.withSeparator, WithSeparator(c.path)) << c.path;
    EXPECT_EQ(c.withChm, WithExtension(c.path, ".chm")) << c.path;
  }
}

TEST(Path, ResolvesAPatternsFolderAgainstTheCurrentFolder) {
  char current[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, current), 0u);
  const std::string here = WithSeparator(current);
  EXPECT_EQ(here, FullFolderOf("*.txt"));
  EXPECT_EQ(here + "sub\\", FullFolderOf("sub\\*.txt"));
  EXPECT_EQ("C:\\Notes\\", FullFolderOf("C:\\Notes\\*.txt"));
  EXPECT_EQ("C:\\Notes\\", FullFolderOf("C:\\Notes\\"));
  EXPECT_EQ(here + "a.txt", FullPathOf("a.txt"));
  EXPECT_TRUE(IsMissingFolder(here + "no such folder"));
  EXPECT_FALSE(IsMissingFolder(current));
}

}  // namespace
