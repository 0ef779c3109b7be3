// Convert Multiple Files ended from outside in the middle of a run, as Task
// Manager, a crash or a log-off end it: every file holds its old or its new
// text under its own name, and beside the file in hand at most its
// converted copy ("orvanezenvero-XXXX.tmp") and one more name of the
// program's own (the same with .bak or .old: a second name of the file, or
// the copy under it).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "framework/handle.h"
#include "tests/e2e/program_fixture.h"

namespace {

constexpr int kPattern = 1015, kConvertMultiple = 3;
constexpr int kFiles = 300;

std::string NameOf(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "f%03d.txt", i);
  return name;
}

// Each file's own text, some 3 KB, and what it becomes.
std::string OldText(int i) {
  std::string text;
  for (int line = 0; line < 100; ++line) text += std::to_string(i) + "\tline " + std::to_string(line) + "\t.\r\n";
  return text;
}
std::string NewText(int i) {
  std::string text;
  const std::string number = std::to_string(i);
  for (int line = 0; line < 100; ++line) {
    std::string start = number + std::string(8 - number.size(), ' ') + "line " + std::to_string(line);
    text += start + std::string(8 - start.size() % 8, ' ') + ".\r\n";
  }
  return text;
}

class KilledRun : public ProgramTest {
 protected:
  void WriteOldTexts() {
    for (int i = 0; i < kFiles; ++i) ASSERT_TRUE(WriteWholeFile(WorkFile(NameOf(i)), OldText(i)));
  }
  void StartRun() {
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_NO_FATAL_FAILURE(Type(kPattern, "*.txt"));
    ASSERT_NO_FATAL_FAILURE(Press(kConvertMultiple));
  }
  // Checks every file and what else is there; returns how many files were
  // converted, and removes what the run left.
  int CheckFolder() {
    int converted = 0;
    for (int i = 0; i < kFiles; ++i) {
      const std::string text = ReadWorkFile(NameOf(i));
      if (text == NewText(i))
        ++converted;
      else
        EXPECT_TRUE(text == OldText(i)) << NameOf(i) << " is neither its old nor its new text: " << text.size()
                                        << " bytes";
    }
    std::vector<std::string> others;
    for (const WIN32_FIND_DATAA& entry : CFindFile((m_work.GetPath() + "\\*").c_str())) {
      const std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      if (name.size() == 8 && name[0] == 'f' && name.compare(4, 4, ".txt") == 0) continue;
      others.push_back(name);
    }
    EXPECT_LE(others.size(), 2u) << "more than the copy and one name left beside the files";
    if (others.size() == 2) {
      EXPECT_EQ(others[0].substr(0, 18), others[1].substr(0, 18)) << "not of one file in hand";
    }
    for (const std::string& name : others) {
      EXPECT_EQ(0u, name.find("orvanezenvero-")) << name;
      std::printf("left beside the files: %s\n", name.c_str());
      DeleteFileA(WorkFile(name).c_str());
    }
    return converted;
  }
};

TEST_F(KilledRun, EveryFileIsWholeWhereverTheRunIsEnded) {
  // A whole run first, for its length.
  ASSERT_NO_FATAL_FAILURE(WriteOldTexts());
  const DWORD start = GetTickCount();
  ASSERT_NO_FATAL_FAILURE(StartRun());
  HWND results = m_app.WaitForWindow({"Convert Multiple Files", "#32770"}, 120000);
  const DWORD length = GetTickCount() - start;
  ASSERT_NE(nullptr, results);
  m_app.Kill();
  EXPECT_EQ(kFiles, CheckFolder());
  std::printf("a whole run over %d files: %lu ms\n", kFiles, static_cast<unsigned long>(length));

  std::mt19937 random(std::random_device{}());
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    ASSERT_NO_FATAL_FAILURE(WriteOldTexts());
    ASSERT_NO_FATAL_FAILURE(StartRun());
    const DWORD after = std::uniform_int_distribution<DWORD>(0, length)(random);
    Sleep(after);
    m_app.Kill();
    const int converted = CheckFolder();
    std::printf("ended after %lu ms: %d files converted\n", static_cast<unsigned long>(after), converted);
  }
}

}  // namespace
