#include "engine/convert.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "framework/handle.h"
#include "tests/engine/convert_summary.h"
#include "tests/engine/reference_expand.h"
#include "tests/support/temp_dir.h"

namespace {

std::string FullPath(const std::string& name) {
  char path[MAX_PATH];
  const DWORD length = GetFullPathNameA(name.c_str(), MAX_PATH, path, nullptr);
  return length > 0 && length < MAX_PATH ? path : name;
}

std::string FileText(const std::string& path) {
  std::string data;
  EXPECT_TRUE(ReadWholeFile(path, &data)) << path;
  return data;
}

// Runs the test's body with the current directory set to a folder.
class CCurrentDirectory {
 public:
  explicit CCurrentDirectory(const std::string& folder) {
    GetCurrentDirectoryA(MAX_PATH, m_szPrevious);
    EXPECT_TRUE(SetCurrentDirectoryA(folder.c_str()));
  }
  ~CCurrentDirectory() { SetCurrentDirectoryA(m_szPrevious); }

 private:
  char m_szPrevious[MAX_PATH];
};

// Text in UTF-16 of the given byte order.
std::string Utf16(const std::u16string& units, bool bigEndian) {
  std::string bytes;
  for (char16_t unit : units) {
    const char hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? hi : lo;
    bytes += bigEndian ? lo : hi;
  }
  return bytes;
}

class ConvertFileTest : public testing::Test {
 protected:
  std::string MakeSource(const std::string& content) {
    const std::string path = m_Dir / "source.txt";
    EXPECT_TRUE(WriteWholeFile(path, content));
    return path;
  }
  CTempDir m_Dir;
};

TEST_F(ConvertFileTest, ConvertsIntoAnExistingOrANewDestination) {
  const struct {
    const char* name;
    std::string input;
    std::string output;
    const char* count;
  } cases[] = {
      {"empty source", "", "", "0 tabs converted"},
      {"no tabs", "plain\r\ntext\x01\x80\xff\r\n", "plain\r\ntext\x01\x80\xff\r\n", "0 tabs converted"},
      {"CRLF text", "int main()\r\n{\r\n\treturn 0;\t// x\r\n}\r\n",
       "int main()\r\n{\r\n        return 0;       // x\r\n}\r\n", "2 tabs converted"},
      // A line feed ends a line, alone or after a carriage return, as a
      // carriage return alone does.
      {"bare line feeds", "ab\n\tc", "ab\n        c", "1 tabs converted"},
      {"mixed line ends", "a\tb\nab\tc\r\nabc\td\rx\t", "a       b\nab      c\r\nabc     d\rx       ",
       "4 tabs converted"},
      {"UTF-8 with line feeds", "\xE4\xB8\xAD\n\tx\n\xC3\xA9\ty", "\xE4\xB8\xAD\n        x\n\xC3\xA9       y",
       "2 tabs converted"},
      {"NUL bytes", std::string("\0\t\0", 3), std::string("\0       \0", 9), "1 tabs converted"},
      // Columns by characters: an accented letter is one, an ideograph two.
      {"UTF-8 without a mark", "caf\xC3\xA9\tx\r\n\xE4\xB8\xAD\ty", "caf\xC3\xA9    x\r\n\xE4\xB8\xAD      y",
       "2 tabs converted"},
      // The mark takes no column; an invalid byte after it counts one.
      {"UTF-8 with a mark", "\xEF\xBB\xBF\tx\xE9\ty", "\xEF\xBB\xBF        x\xE9      y", "2 tabs converted"},
      // Not UTF-8 (E9 is no character's start here): every byte counts one,
      // the valid sequence C3 A9 later too.
      {"ANSI with high bytes", "caf\xE9\tx\r\n\xC3\xA9\ty", "caf\xE9    x\r\n\xC3\xA9      y", "2 tabs converted"},
      {"UTF-16 LE with a mark", Utf16(u"\uFEFF\u4E2D\tx\r\n\ty", false),
       Utf16(u"\uFEFF\u4E2D      x\r\n        y", false), "2 tabs converted"},
      {"UTF-16 BE with a mark", Utf16(u"\uFEFF\u4E2D\tx\r\n\ty", true),
       Utf16(u"\uFEFF\u4E2D      x\r\n        y", true), "2 tabs converted"},
      {"UTF-16 LE with line feeds", Utf16(u"\uFEFF\u4E2D\n\tx\ty", false),
       Utf16(u"\uFEFF\u4E2D\n        x       y", false), "2 tabs converted"},
      {"UTF-16 mark alone", "\xFF\xFE", "\xFF\xFE", "0 tabs converted"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string source = MakeSource(c.input);
    const std::string destination = m_Dir / "destination.txt";
    // An existing, longer destination is replaced entirely.
    ASSERT_TRUE(WriteWholeFile(destination, std::string(5000, 'o')));

    EXPECT_EQ(std::string("converted: ") + c.count, Summary(ConvertFile(source, destination, TabStopList{8})));
    EXPECT_EQ(c.output, FileText(destination));

    // A new destination.
    ASSERT_TRUE(DeleteFileA(destination.c_str()));
    EXPECT_EQ(std::string("converted: ") + c.count, Summary(ConvertFile(source, destination, TabStopList{8})));
    EXPECT_EQ(c.output, FileText(destination));
    EXPECT_EQ(c.input, FileText(source));
  }
}

TEST_F(ConvertFileTest, UsesTheGivenStopsAndStreamsLargeFiles) {
  // Several read buffers long, with tabs straddling their edges.
  std::string input;
  while (input.size() < 1100000) input += "x\tyy\t\tzzz\r\n\t";
  int64_t column = 0;
  uint64_t tabs = 0;
  const std::string expected = ReferenceExpand(input, TabStopList{3}, column, tabs);
  const std::string source = MakeSource(input);
  const std::string destination = m_Dir / "big.txt";
  EXPECT_EQ("converted: " + TabsConvertedText(tabs), Summary(ConvertFile(source, destination, TabStopList{3})));
  EXPECT_TRUE(FileText(destination) == expected) << "the output differs from the rule's";
}

TEST_F(ConvertFileTest, DecidesTheEncodingFromTheWholeLongFile) {
  // ASCII for more than a read buffer, then lines whose tab lands one column
  // further in UTF-8 than by bytes, over several read buffers.
  std::string ascii, accented;
  while (ascii.size() < 100000) ascii += "a\tb\r\n";
  for (int i = 0; i < 40000; ++i) accented += "\xC3\xA9\tx\r\n";
  std::string asUtf8;
  for (size_t i = 0; i < ascii.size(); i += 5) asUtf8 += "a       b\r\n";
  std::string asBytes = asUtf8;
  for (int i = 0; i < 40000; ++i) {
    asUtf8 += "\xC3\xA9       x\r\n";
    asBytes += "\xC3\xA9      x\r\n";
  }
  const struct {
    const char* name;
    std::string input;
    std::string output;
  } cases[] = {
      {"valid UTF-8 throughout", ascii + accented, asUtf8},
      {"one invalid byte at the very end", ascii + accented + "\xFF", asBytes + "\xFF"},
      {"cut inside a character at the end", ascii + accented + "\xE4\xB8", asBytes + "\xE4\xB8"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string source = MakeSource(c.input);
    const std::string destination = m_Dir / "long.txt";
    EXPECT_EQ("converted: " + TabsConvertedText(ascii.size() / 5 + 40000),
              Summary(ConvertFile(source, destination, TabStopList{8})));
    EXPECT_TRUE(FileText(destination) == c.output) << "the output differs";
  }
}

TEST_F(ConvertFileTest, ConvertsInPlaceByWhatTheWholeLongFileProvesToBe) {
  // As above, for a file converted in place, which is refused as binary
  // where a NUL byte shows: after many read buffers of UTF-8 too, and after
  // a late invalid byte has sent the conversion back to the file's start.
  std::string ascii, accented, asUtf8, asBytes;
  while (ascii.size() < 100000) ascii += "a\tb\r\n";
  for (int i = 0; i < 40000; ++i) accented += "\xC3\xA9\tx\r\n";
  for (size_t i = 0; i < ascii.size(); i += 5) asUtf8 += "a       b\r\n";
  asBytes = asUtf8;
  for (int i = 0; i < 40000; ++i) {
    asUtf8 += "\xC3\xA9       x\r\n";
    asBytes += "\xC3\xA9      x\r\n";
  }
  const std::string count = "converted: " + TabsConvertedText(ascii.size() / 5 + 40000);
  const std::string notText = "not text";
  const struct {
    const char* name;
    std::string input;
    std::string output;
    std::string report;
  } cases[] = {
      {"valid UTF-8 throughout", ascii + accented, asUtf8, count},
      {"one invalid byte at the very end", ascii + accented + "\xFF", asBytes + "\xFF", count},
      {"cut inside a character at the end", ascii + accented + "\xE4\xB8", asBytes + "\xE4\xB8", count},
      {"NUL late in UTF-8", ascii + accented + std::string("\0", 1), "", notText},
      {"NUL after a late invalid byte", ascii + accented + "\xFF" + accented + std::string("\0", 1), "", notText},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = MakeSource(c.input);
    EXPECT_EQ(c.report, Summary(ConvertFileInPlace(path, TabStopList{8})));
    EXPECT_TRUE(FileText(path) == (c.output.empty() ? c.input : c.output)) << "the file differs";
    // Nothing is left beside it.
    int files = 0;
    for (const WIN32_FIND_DATAA& entry : CFindFile((m_Dir / "*").c_str()))
      files += (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    EXPECT_EQ(1, files);
  }
}

TEST_F(ConvertFileTest, InPlaceCallsBackEveryMegabyteReadWhileTheFileIsStillTheOldOne) {
  // Each way through the file: bytes, UTF-8 (from its first character on),
  // and UTF-16 (the rest after its mark).
  std::string ascii, utf8 = "\xC3\xA9", utf16 = "\xFF\xFE";
  while (ascii.size() < 4 * kBytesBetweenCalls + 1000) ascii += "a\tb\r\n";
  utf8 += ascii;
  for (char c : ascii) utf16 += std::string{c, '\0'};
  for (const std::string* text : {&ascii, &utf8, &utf16}) {
    SCOPED_TRACE(text->substr(0, 2));
    const std::string path = MakeSource(*text);
    uint64_t calls = 0;
    bool old = true;
    const ConvertResult result = ConvertFileInPlace(path, TabStopList{8}, [&] {
      ++calls;
      WIN32_FILE_ATTRIBUTE_DATA data;
      old = old && GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
            data.nFileSizeLow == text->size();
    });
    EXPECT_EQ("converted: " + TabsConvertedText(ascii.size() / 5), Summary(result));
    // The whole file is read once, and its start once more for the first tab.
    EXPECT_GE(calls, text->size() / kBytesBetweenCalls);
    EXPECT_LE(calls, text->size() / kBytesBetweenCalls + 1);
    EXPECT_TRUE(old) << "a call came after the file was replaced";
  }
}

TEST_F(ConvertFileTest, LeadingTabsOnlyFollowsTheLinesThroughEveryPathOfTheFile) {
  TabStopList stops{4, 6, 10};
  stops.SetLeadingOnly(true);
  // ASCII for more than a read buffer; then the first byte from 0x80 up in
  // the middle of a line, after its indentation ended (a mark there is no
  // indentation), so that the UTF-8 path takes the line over from the byte
  // path; then UTF-8 lines over several read buffers, LF and CR LF.
  std::string ascii;
  while (ascii.size() < 100000) ascii += "\tif (a)\tb;\r\n  \t\tc;\t// d\n\n";
  std::string utf8 = ascii + "x\xEF\xBB\xBF\ty\r\n";
  for (int i = 0; i < 30000; ++i) utf8 += "\t\xC3\xA9\t\xE6\x97\xA5\r\n \t\tz\tw\n";
  std::u16string wide = u"\uFEFF";
  for (int i = 0; i < 30000; ++i) wide += u"\t\u0416\tx\r\n  \t\t\u65E5\t\n";
  const struct {
    const char* name;
    std::string input;
    bool utf16;
  } cases[] = {
      {"ASCII, then UTF-8", utf8, false},
      {"ASCII, then bytes that are not UTF-8", ascii + "x\xE9\ty\r\n\t\xE9\t.", false},
      {"UTF-16 with its mark", Utf16(wide, false), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    uint64_t tabs = 0;
    const std::string expected = c.utf16 ? Utf16(ReferenceLeadingOnly(wide, stops, true, tabs), false)
                                         : ReferenceLeadingOnly(c.input, stops, true, tabs);
    const std::string source = MakeSource(c.input);
    const std::string destination = m_Dir / "leading.txt";
    EXPECT_EQ("converted: " + TabsConvertedText(tabs), Summary(ConvertFile(source, destination, stops)));
    EXPECT_TRUE(FileText(destination) == expected) << "ConvertFile's output differs";
    EXPECT_EQ("converted: " + TabsConvertedText(tabs), Summary(ConvertFileInPlace(source, stops)));
    EXPECT_TRUE(FileText(source) == expected) << "the file converted in place differs";
  }
}

TEST_F(ConvertFileTest, InPlaceRefusesABinaryFileThatConvertFileConverts) {
  const std::string destination = m_Dir / "destination.txt";
  const struct {
    const char* name;
    std::string input;
    bool binary;
  } cases[] = {
      {"NUL at the start", std::string("\0\x01\x02\tabc", 7), true},
      {"NUL late in a long text", std::string(200000, 'x') + std::string("\t\0", 2), true},
      {"NUL in UTF-8", std::string("\xEF\xBB\xBF\tx\0", 6), true},
      {"UTF-16 without a mark", Utf16(u"a\tb", false), true},
      {"UTF-16 with a mark", Utf16(u"\uFEFFa\tb", false), false},
      {"ANSI text", "caf\xE9\tx", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // In place a binary file is refused and left exactly as it was.
    const std::string path = MakeSource(c.input);
    EXPECT_EQ(c.binary ? "not text" : "converted: 1 tabs converted",
              Summary(ConvertFileInPlace(path, TabStopList{8})));
    if (c.binary)
      EXPECT_EQ(c.input, FileText(path));
    else
      EXPECT_NE(c.input, FileText(path));

    // Into another file a binary file converts too.
    const std::string source = MakeSource(c.input);
    ASSERT_TRUE(WriteWholeFile(destination, "old"));
    EXPECT_EQ("converted: 1 tabs converted", Summary(ConvertFile(source, destination, TabStopList{8})));
    EXPECT_NE("old", FileText(destination));
    EXPECT_EQ(c.input, FileText(source));
  }
}

// A failure of a conversion into another file: its description, which the
// Convert File command shows after the two names.
struct FailureCase {
  const char* name;
  std::string source;
  std::string destination;
  std::string description;
};

void ExpectFailure(const FailureCase& c, const std::function<void()>& check) {
  EXPECT_EQ("failed: " + c.description, Summary(ConvertFile(c.source, c.destination, TabStopList{8})));
  check();
}

TEST_F(ConvertFileTest, MissingSourceLeavesTheDestinationAlone) {
  const std::string destination = m_Dir / "keep.txt";
  ASSERT_TRUE(WriteWholeFile(destination, "old"));
  {
    // A failed open names the file as it was given, here a relative name.
    CCurrentDirectory here(m_Dir.GetPath());
    ExpectFailure({"missing source", "missing.txt", destination, "missing.txt was not found."},
                  [&] { EXPECT_EQ("old", FileText(destination)); });
  }
  const std::string inMissingFolder = m_Dir / "nowhere\\missing.txt";
  ExpectFailure(
      {"source in a missing folder", inMissingFolder, destination, inMissingFolder + " contains an invalid path."},
      [&] { EXPECT_EQ("old", FileText(destination)); });
}

TEST_F(ConvertFileTest, SourceHeldOpenForWritingIsASharingViolation) {
  const std::string source = MakeSource("a\tb");
  const std::string destination = m_Dir / "keep.txt";
  ASSERT_TRUE(WriteWholeFile(destination, "old"));
  CHandle writer(CreateFileA(source.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(INVALID_HANDLE_VALUE, writer.Get());
  ExpectFailure(
      {"held source", source, destination, "A sharing violation occurred while accessing " + source + "."},
      [&] { EXPECT_EQ("old", FileText(destination)); });
  writer.Close();
}

TEST_F(ConvertFileTest, DestinationThatCannotBeCreated) {
  const std::string source = MakeSource("a\tb");
  const std::string inMissingFolder = m_Dir / "no such folder\\out.txt";
  ExpectFailure({"destination in a missing folder", source, inMissingFolder,
                 inMissingFolder + " contains an invalid path."},
                [&] { EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(inMissingFolder.c_str())); });

  // A folder cannot be opened as a file for writing. (A read-only file would
  // do on Windows, but Wine run as root writes to it regardless.)
  const std::string folder = m_Dir / "folder";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  ExpectFailure({"folder as destination", source, folder, "Access to " + folder + " was denied."},
                [&] { EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesA(folder.c_str())); });
}

// The tiny disk that the test fixture mounts, as Wine reaches it; empty when
// there is none.
std::string SmallDisk() {
  std::string unixPath = VELMORA_SMALL_DISK;
  std::string path = "Z:" + unixPath;
  for (char& ch : path)
    if (ch == '/') ch = '\\';
  if (GetFileAttributesA((path + "\\mounted").c_str()) == INVALID_FILE_ATTRIBUTES) return {};
  return path + "\\mnt";
}

TEST_F(ConvertFileTest, FullDiskNamesTheDestinationsFullPathAndKeepsThePart) {
  const std::string disk = SmallDisk();
  if (disk.empty())
    GTEST_SKIP() << "no small tmpfs is mounted at " << VELMORA_SMALL_DISK
                 << "/mnt (mounting needs root), so the disk-full case cannot run";

  std::string input;
  while (input.size() < 600000) input += "\tline of text\r\n";
  const std::string source = MakeSource(input);
  const std::string expected = [&] {
    std::string out;
    for (size_t i = 0; i < input.size(); i += 15) out += "        line of text\r\n";
    return out;
  }();

  CCurrentDirectory here(disk);
  // Opened as a relative name, but a failed write names the full path.
  const std::string full = FullPath("out.txt");
  ExpectFailure({"full disk", source, "out.txt", "Disk full while accessing " + full + "."}, [&] {
    const std::string written = FileText(full);
    EXPECT_GT(written.size(), 0u);
    EXPECT_LT(written.size(), expected.size());
    EXPECT_TRUE(expected.compare(0, written.size(), written) == 0) << "the part written is not the output's start";
    EXPECT_TRUE(DeleteFileA(full.c_str()));
  });
}

}  // namespace
