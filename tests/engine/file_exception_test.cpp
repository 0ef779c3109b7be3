#include "framework/file.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace {

TEST(CFileException, MapsSystemErrorsToTheirTexts) {
  const struct {
    LONG osError;
    const char* text;
  } cases[] = {
      {2, "f.txt was not found."},
      {6, "f.txt was not found."},
      {18, "f.txt was not found."},
      {3, "f.txt contains an invalid path."},
      {15, "f.txt contains an invalid path."},
      {4, "f.txt could not be opened because there are too many open files."},
      {5, "Access to f.txt was denied."},
      {12, "Access to f.txt was denied."},
      {19, "Access to f.txt was denied."},
      {11, "An invalid file handle was associated with f.txt."},
      {16, "f.txt could not be removed because it is the current directory."},
      {62, "f.txt could not be created because the directory is full."},
      {25, "Seek failed on f.txt"},
      {21, "A hardware I/O error was reported while accessing f.txt."},
      {23, "A hardware I/O error was reported while accessing f.txt."},
      {32, "A sharing violation occurred while accessing f.txt."},
      {33, "A locking violation occurred while accessing f.txt."},
      {39, "Disk full while accessing f.txt."},
      {112, "Disk full while accessing f.txt."},
      {38, "An attempt was made to access f.txt past its end."},
      {87, "An unknown error occurred while accessing f.txt."},
      {0, "An unknown error occurred while accessing f.txt."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.osError);
    try {
      CFileException::ThrowOsError(c.osError, "f.txt");
    } catch (const CFileException& e) {
      EXPECT_EQ(c.osError, e.m_lOsError);
      EXPECT_EQ(c.text, e.GetErrorMessage());
    }
  }
}

TEST(CFileException, NamesNoFileAsUnnamedAndCutsTo255Characters) {
  EXPECT_EQ("an unnamed file was not found.", CFileException(CFileException::fileNotFound, 2).GetErrorMessage());
  const std::string name(300, 'x');
  const std::string message = CFileException(CFileException::accessDenied, 5, name).GetErrorMessage();
  EXPECT_EQ("Access to " + std::string(245, 'x'), message);
}

// What each way of creating makes of a file that is there and of one that
// is not: emptied, kept, or refused.
TEST(CFile, CreatesByTheModeAsked) {
  CTempDir dir;
  const UINT write = CFile::modeWrite | CFile::shareExclusive | CFile::modeCreate;
  const struct {
    const char* name;
    UINT mode;
    bool opensExisting;
    std::string existingAfter;
  } cases[] = {
      {"create", write, true, ""},
      {"create, no truncation", write | CFile::modeNoTruncate, true, "old"},
      {"create new", write | CFile::modeCreateNew, false, "old"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string existing = dir / "existing.txt", missing = dir / "missing.txt";
    ASSERT_TRUE(WriteWholeFile(existing, "old"));
    DeleteFileA(missing.c_str());
    CFile file;
    CFileException error;
    EXPECT_EQ(c.opensExisting, file.Open(existing.c_str(), c.mode, &error));
    if (!c.opensExisting) {
      EXPECT_EQ(static_cast<LONG>(ERROR_FILE_EXISTS), error.m_lOsError);
    }
    file.Close();
    std::string text;
    EXPECT_TRUE(ReadWholeFile(existing, &text));
    EXPECT_EQ(c.existingAfter, text);
    ASSERT_TRUE(file.Open(missing.c_str(), c.mode, &error));
    file.Write("new", 3);
    file.Close();
    EXPECT_TRUE(ReadWholeFile(missing, &text));
    EXPECT_EQ("new", text);
  }
}

}  // namespace
