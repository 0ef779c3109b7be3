// The path helpers: how a folder, an extension and a pattern's folder are
// formed.
#include "framework/file_system.h"
#include "framework/path.h"
#include "framework/wide.h"

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

// The 8-bit calls of Windows 95, 98 and Me take a name in the system's code
// page: one that page cannot hold is refused, never turned into a near
// letter (best fit makes "α" an "a" in the Western page, and "¥" a "\" in
// the Japanese one, which could lead a name out of its folder).
TEST(EightBitNames, ANameTheCodePageCannotHoldIsRefusedNotMapped) {
  const struct {
    UINT codePage;
    const wchar_t* name;
    const char* ansi;  // null: refused
  } cases[] = {
      {1252, L"C:\\Notes\\caf\u00E9.txt", "C:\\Notes\\caf\xE9.txt"},  // é is in the page
      {1252, L"C:\\\u03B1\u03B2.txt", nullptr},                        // Greek
      {1252, L"C:\\\u041F\u0430\u043F\u043A\u0430", nullptr},          // Cyrillic
      {1252, L"C:\\\U0001F600.txt", nullptr},                          // an emoji
      {932, L"C:\\\u65E5\u672C\\x.txt", "C:\\\x93\xFA\x96\x7B\\x.txt"},  // Japanese in the Japanese page
      {932, L"C:\\Tools\\..\u00A5..\u00A5Windows\\x.txt", nullptr},     // the yen sign
      {1251, L"C:\\\u041F\u0430\u043F\u043A\u0430", "C:\\\xCF\xE0\xEF\xEA\xE0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.codePage);
    if (!IsValidCodePage(c.codePage)) continue;
    std::string ansi = "untouched";
    SetLastError(0);
    const bool held = WideToCodePage(c.name, c.codePage, ansi);
    EXPECT_EQ(c.ansi != nullptr, held);
    if (c.ansi != nullptr) {
      EXPECT_EQ(c.ansi, ansi);
    } else {
      EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
    }
  }
}

// Paths on another computer, and the UNC form of a local path (itself).
TEST(NetworkPaths, UncPathsAreAnotherComputersAndLocalOnesStayAsTheyAre) {
  const struct {
    const char* path;
    bool network;
  } cases[] = {
      {"\\\\server\\share\\Tools", true},       {"//server/share/Tools", true},
      {"\\\\?\\UNC\\server\\share\\Tools", true}, {"\\\\?\\C:\\Tools", false},
      {"C:\\Program Files\\Tools", false},       {"Tools\\x", false},
      {"\\Tools", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.network, IsNetworkPath(c.path)) << c.path;
    if (!c.network) {
      EXPECT_EQ(c.path, UniversalPath(c.path)) << c.path;
    }
  }
}
