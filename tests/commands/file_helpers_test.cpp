// The helpers the commands stand on: looking a typed name up, comparing
// names, replacing a file by a copy, and expanding a text in memory.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>

#include "engine/expand_text.h"
#include "engine/file_names.h"
#include "framework/ascii.h"
#include "engine/replace_file.h"
#include "framework/handle.h"
#include "tests/commands/commands_test.h"
#include "tests/engine/reference_expand.h"

namespace {

TEST(LookUpFile, FindsFilesFoldersAndWildcardMatchesAndRefusesLongNames) {
  CTempDir dir;
  ASSERT_TRUE(WriteWholeFile(dir / "a.txt", "x"));
  ASSERT_TRUE(CreateDirectoryA((dir / "sub").c_str(), nullptr));
  CCurrentDirectory here(dir.GetPath());
  const struct Case {
    std::string name;
    FileLookup result;
    std::string fullPath;  // when found
  } cases[] = {
      {"a.txt", FileLookup::found, dir / "a.txt"},
      {".\\sub\\..\\a.txt", FileLookup::found, dir / "a.txt"},
      {"sub", FileLookup::found, dir / "sub"},
      {"?.t*", FileLookup::found, dir / "?.t*"},
      {"b.txt", FileLookup::missing, ""},
      {"nowhere\\a.txt", FileLookup::missing, ""},
      {"", FileLookup::missing, ""},
      {std::string(MAX_PATH - 1 - dir.GetPath().size() - 1, 'n'), FileLookup::missing, ""},  // fits exactly
      {std::string(MAX_PATH - dir.GetPath().size() - 1, 'n'), FileLookup::tooLong, ""},     // one too many
      {std::string(1000, 'n'), FileLookup::tooLong, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.size() > 40 ? std::to_string(c.name.size()) + " characters" : c.name);
    std::string fullPath = "unchanged";
    EXPECT_EQ(c.result, LookUpFile(c.name, &fullPath));
    EXPECT_EQ(c.result == FileLookup::found ? c.fullPath : "unchanged", fullPath);
  }
}

// The system's limit counts characters (UTF-16 units), not the bytes of the
// UTF-8 code page: a full path of some 125 characters that takes some 285
// bytes (a Japanese name of 80 characters; a Linux file system under Wine
// takes at most 255 bytes a name) is found, one that passes the limit in
// characters is too long.
TEST(LookUpFile, MeasuresNamesInCharactersNotBytes) {
  ASSERT_EQ(65001u, GetACP());
  CTempDir dir;
  std::string japanese;
  for (int i = 0; i < 80; ++i) japanese += "\xE6\x97\xA5";  // U+65E5
  const std::string name = japanese + ".txt";
  ASSERT_TRUE(WriteWholeFile(dir / name, "x")) << "the file system takes the name";
  CCurrentDirectory here(dir.GetPath());
  ASSERT_GT((dir / name).size(), static_cast<size_t>(MAX_PATH));
  std::string fullPath;
  EXPECT_EQ(FileLookup::found, LookUpFile(name, &fullPath));
  EXPECT_EQ(dir / name, fullPath);
  std::string tooMany;
  for (size_t i = 0; i + dir.GetPath().size() + 1 < MAX_PATH; ++i) tooMany += "\xE6\x97\xA5";
  EXPECT_EQ(FileLookup::tooLong, LookUpFile(tooMany, &fullPath));

  // The converted copy beside such a file is made in its folder.
  const std::string folder = dir / japanese;
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  std::string sibling;
  ASSERT_TRUE(CreateSiblingFile(folder, sibling));
  EXPECT_EQ(folder + "\\", sibling.substr(0, folder.size() + 1));
  EXPECT_TRUE(FileExists(sibling));
  DeleteFileA(sibling.c_str());
}

TEST(FileNames, CompareIgnoringTheCaseOfAToZOnly) {
  EXPECT_TRUE(EqualIgnoringAsciiCase("C:\\Dir\\a.TXT", "c:\\dir\\A.txt"));
  EXPECT_FALSE(EqualIgnoringAsciiCase("a.txt", "a.txt "));
  EXPECT_FALSE(EqualIgnoringAsciiCase("\xe4.txt", "\xc4.txt"));  // only A to Z
  EXPECT_FALSE(EqualIgnoringAsciiCase("[", "{"));
}

TEST(ReplaceWithConverted, ReplacesWholeAndRefusesReadOnly) {
  CTempDir dir;
  const std::string copy = dir / "converted.tmp";
  ASSERT_TRUE(WriteWholeFile(copy, "new content"));
  const std::string target = dir / "target.txt";

  ASSERT_TRUE(WriteWholeFile(target, "old content, longer than the new"));
  EXPECT_EQ(ReplaceOutcome::kReplaced, ReplaceWithConverted(copy, target));
  EXPECT_EQ("new content", Content(target));
  EXPECT_FALSE(FileExists(copy));  // it took the target's place

  ASSERT_TRUE(WriteWholeFile(copy, "new content"));
  ASSERT_TRUE(WriteWholeFile(target, "old"));
  ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(ReplaceOutcome::kRefused, ReplaceWithConverted(copy, target));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  EXPECT_EQ("old", Content(target));
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY),
            GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL));

  // A folder, a target that is gone and a copy that is missing are refused.
  ASSERT_TRUE(CreateDirectoryA((dir / "sub").c_str(), nullptr));
  EXPECT_EQ(ReplaceOutcome::kRefused, ReplaceWithConverted(copy, dir / "sub"));
  EXPECT_EQ(ReplaceOutcome::kRefused, ReplaceWithConverted(copy, dir / "gone.txt"));
  EXPECT_EQ(ReplaceOutcome::kRefused, ReplaceWithConverted(dir / "missing.tmp", target));
  EXPECT_EQ("old", Content(target));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((dir / "gone.txt").c_str()));
  // A refused replacement leaves the copy to its caller.
  EXPECT_EQ("new content", Content(copy));
}

TEST(ReplaceWithConverted, AHiddenFileStaysHiddenAndKeepsItsCreationTime) {
  CTempDir dir;
  const std::string copy = dir / "converted.tmp";
  const std::string target = dir / "target.txt";
  ASSERT_TRUE(WriteWholeFile(target, "old"));
  // The target was made well before its converted copy.
  FILETIME created = {};
  {
    CHandle file(CreateFileA(target.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file.IsValid());
    SYSTEMTIME when = {2001, 2, 0, 3, 4, 5, 6, 0};
    ASSERT_TRUE(SystemTimeToFileTime(&when, &created));
    ASSERT_TRUE(SetFileTime(file, &created, nullptr, nullptr));
  }
  WIN32_FILE_ATTRIBUTE_DATA before;
  ASSERT_TRUE(GetFileAttributesExA(target.c_str(), GetFileExInfoStandard, &before));
  const bool keepsCreationTimes = CompareFileTime(&created, &before.ftCreationTime) == 0;
  ASSERT_TRUE(WriteWholeFile(copy, "new content"));
  if (!MakeHidden(target)) GTEST_SKIP() << kNoHiddenBit;
  EXPECT_EQ(ReplaceOutcome::kReplaced, ReplaceWithConverted(copy, target));
  EXPECT_EQ("new content", Content(target));
  EXPECT_TRUE(GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_HIDDEN);
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA(target.c_str(), GetFileExInfoStandard, &data));
  if (!keepsCreationTimes)
    GTEST_SKIP() << "the file system keeps no creation time of its own (Wine on a Unix file "
                    "system), so whether it is kept cannot be seen";
  EXPECT_EQ(0, CompareFileTime(&created, &data.ftCreationTime)) << "the creation time was not kept";
}

TEST(ExpandText, MeasuresExactlyAndNeverWritesPastTheBuffer) {
  const struct Case {
    std::string text;
    TabStopList stops;
  } cases[] = {
      {"", TabStopList{8}},
      {"a\tb\r\n\tc", TabStopList{8}},
      {"\t", TabStopList{65535}},
      {std::string(3000, '\t'), TabStopList{2000}},
      {"ab\n\t\r\tx\t", TabStopList{4, 2}},
  };
  for (const Case& c : cases) {
    int64_t column = 0;
    uint64_t tabs = 0;
    const std::string expected = ReferenceExpand(c.text, c.stops, column, tabs);
    const ExpandedTextSize size = MeasureExpandedText(c.text.data(), c.text.size(), c.stops);
    EXPECT_EQ(expected.size(), size.m_nBytes);
    EXPECT_EQ(tabs, size.m_nTabCount);
    std::string out(expected.size() + 1, '#');
    EXPECT_EQ(expected.size(), ExpandTextInto(c.text.data(), c.text.size(), c.stops, &out[0], expected.size()));
    EXPECT_TRUE(out.compare(0, expected.size(), expected) == 0);
    EXPECT_EQ('#', out.back());
    if (!expected.empty()) {
      std::string small(expected.size(), '#');
      EXPECT_THROW(ExpandTextInto(c.text.data(), c.text.size(), c.stops, &small[0], expected.size() - 1),
                   std::length_error);
      EXPECT_EQ('#', small.back());
    }
  }
  // 3000 tabs of width 2000: six million bytes counted, not wrapped.
  EXPECT_EQ(6000000u, MeasureExpandedText(std::string(3000, '\t').data(), 3000, TabStopList{2000}).m_nBytes);
}

TEST(ExpandText, Utf16ColumnsByCharactersMeasuredExactlyAndNeverPastTheBuffer) {
  const struct Case {
    const char* name;
    std::u16string text;
    TabStopList stops;
    std::u16string expected;
    uint64_t tabs;
  } cases[] = {
      {"empty", u"", TabStopList{8}, u"", 0},
      {"Cyrillic", u"\u0416\u0443\u043A\tx", TabStopList{8}, u"\u0416\u0443\u043A     x", 1},
      {"Japanese, two columns each", u"\u65E5\u672C\u8A9E\ty", TabStopList{8}, u"\u65E5\u672C\u8A9E  y", 1},
      {"Greek", u"\u03B1\u03B2\u03B3\t\u03B4", TabStopList{4}, u"\u03B1\u03B2\u03B3 \u03B4", 1},
      {"an emoji: one pair, two columns", u"\U0001F600\tz", TabStopList{4}, u"\U0001F600  z", 1},
      {"a combining accent takes no column", u"e\u0301\tq", TabStopList{4}, u"e\u0301   q", 1},
      {"lines start their own columns", u"\u0416\t\r\n\t.", TabStopList{2}, u"\u0416 \r\n  .", 2},
      {"a line feed ends a line", u"\u65E5\n\tx", TabStopList{4}, u"\u65E5\n    x", 1},
      {"one wide stop", u"\t", TabStopList{65535}, std::u16string(65535, u' '), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ExpandedTextSize size = MeasureExpandedUtf16(c.text.data(), c.text.size(), c.stops);
    EXPECT_EQ(2 * c.expected.size(), size.m_nBytes);
    EXPECT_EQ(c.tabs, size.m_nTabCount);
    std::u16string out(c.expected.size() + 1, u'#');
    EXPECT_EQ(c.expected.size(), ExpandUtf16Into(c.text.data(), c.text.size(), c.stops, &out[0], c.expected.size()));
    EXPECT_TRUE(out.compare(0, c.expected.size(), c.expected) == 0);
    EXPECT_EQ(u'#', out.back());
    if (!c.expected.empty()) {
      std::u16string small(c.expected.size(), u'#');
      EXPECT_THROW(ExpandUtf16Into(c.text.data(), c.text.size(), c.stops, &small[0], c.expected.size() - 1),
                   std::length_error);
      EXPECT_EQ(u'#', small.back());
    }
  }
  // 3000 tabs of width 2000: twelve million bytes counted, not wrapped.
  EXPECT_EQ(12000000u, MeasureExpandedUtf16(std::u16string(3000, u'\t').data(), 3000, TabStopList{2000}).m_nBytes);
}

}  // namespace
