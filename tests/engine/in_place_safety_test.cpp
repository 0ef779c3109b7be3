// The in-place conversion keeps every file whole: the documented failures of
// ReplaceFileA (scripted through the replace routines, as only Windows
// shows them), a file held for a moment by another program, the flush
// before the replacement, a file without tabs, links and hard links.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "engine/convert.h"
#include "engine/replace_file.h"
#include "framework/handle.h"
#include "tests/engine/convert_summary.h"
#include "tests/support/host_links.h"
#include "tests/support/scoped_routines.h"
#include "tests/support/temp_dir.h"

namespace {

const char kTabbed[] = "\tone\r\ntwo\t3\r\n";  // 2 tabs
const char kExpanded[] = "        one\r\ntwo     3\r\n";

std::string Text(const std::string& path) {
  std::string data;
  return ReadWholeFile(path, &data) ? data : "<missing>";
}

std::vector<std::string> FolderContent(const std::string& folder) {
  std::vector<std::string> names;
  for (const WIN32_FIND_DATAA& entry : CFindFile((folder + "\\*").c_str()))
    if (std::string(entry.cFileName) != "." && std::string(entry.cFileName) != "..") names.push_back(entry.cFileName);
  std::sort(names.begin(), names.end());
  return names;
}

// What the scripted routines saw, and what they do: `replace` stands in for
// ReplaceFileA (null: the real one), `move` for MoveFileExA.
struct CScript {
  std::vector<std::string> calls;
  std::vector<DWORD> pauses;
  std::string backup;
  DWORD flags = 0;
  std::function<BOOL(LPCSTR, LPCSTR, LPCSTR)> replace;
  std::function<BOOL(LPCSTR, LPCSTR, DWORD)> move;
  std::function<BOOL(HANDLE)> flush;
};
CScript* g_pScript = nullptr;

BOOL WINAPI ScriptedReplace(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags, LPVOID, LPVOID) {
  g_pScript->calls.push_back("replace");
  g_pScript->backup = backup != nullptr ? backup : "";
  g_pScript->flags = flags;
  if (g_pScript->replace) return g_pScript->replace(replaced, replacement, backup);
  return DefaultReplaceFileRoutines().replaceFile(replaced, replacement, backup, flags, nullptr, nullptr);
}
BOOL WINAPI ScriptedMove(LPCSTR from, LPCSTR to, DWORD flags) {
  g_pScript->calls.push_back("move");
  if (g_pScript->move) return g_pScript->move(from, to, flags);
  return MoveFileExA(from, to, flags);
}
BOOL WINAPI ScriptedFlush(HANDLE file) {
  LARGE_INTEGER size = {};
  GetFileSizeEx(file, &size);
  g_pScript->calls.push_back("flush " + std::to_string(size.QuadPart));
  if (g_pScript->flush) return g_pScript->flush(file);
  return FlushFileBuffers(file);
}
void WINAPI ScriptedSleep(DWORD milliseconds) { g_pScript->pauses.push_back(milliseconds); }

class InPlaceSafety : public testing::Test {
 protected:
  InPlaceSafety()
      : m_Routines(SetReplaceFileRoutines, {ScriptedReplace, ScriptedMove, ScriptedFlush, ScriptedSleep}) {
    g_pScript = &m_Script;
  }
  ~InPlaceSafety() override { g_pScript = nullptr; }

  std::string MakeFile(const std::string& content, const std::string& name = "file.txt") {
    const std::string path = m_Dir / name;
    EXPECT_TRUE(WriteWholeFile(path, content));
    return path;
  }

  CTempDir m_Dir;
  CScript m_Script;
  CScopedRoutines<CReplaceFileRoutines> m_Routines;
};

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

TEST_F(InPlaceSafety, EveryDocumentedReplaceFailureEndsWithAWholeFileUnderItsName) {
  const struct Case {
    const char* name;
    // What ReplaceFileA leaves and says.
    std::function<BOOL(LPCSTR, LPCSTR, LPCSTR)> replace;
    std::function<BOOL(LPCSTR, LPCSTR, DWORD)> move;
    std::string summary;
    std::string content;  // under the file's name
    bool copyKept;        // the converted copy left beside it (and named)
  } cases[] = {
      // Both files keep their names (as documented with a backup name).
      {"1176, both names kept", [](LPCSTR, LPCSTR, LPCSTR) { return Fail(ERROR_UNABLE_TO_MOVE_REPLACEMENT); },
       nullptr, "copy failed: 2 tabs converted", kTabbed, false},
      // The file is gone and the copy keeps its name (as documented without
      // one): the copy takes the name.
      {"1176, the file gone",
       [](LPCSTR replaced, LPCSTR, LPCSTR) {
         DeleteFileA(replaced);
         return Fail(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
       },
       nullptr, "converted: 2 tabs converted", kExpanded, false},
      // The file only under the backup name: the copy takes the name and the
      // backup goes.
      {"1177",
       [](LPCSTR replaced, LPCSTR, LPCSTR backup) {
         MoveFileExA(replaced, backup, 0);
         return Fail(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
       },
       nullptr, "converted: 2 tabs converted", kExpanded, false},
      // The same, and the copy may not take the name either: the old text
      // comes back from the backup.
      {"1177, the copy refused its name",
       [](LPCSTR replaced, LPCSTR, LPCSTR backup) {
         MoveFileExA(replaced, backup, 0);
         return Fail(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
       },
       [](LPCSTR from, LPCSTR to, DWORD flags) {
         return std::string(from).find(".tmp") != std::string::npos ? Fail(ERROR_ACCESS_DENIED)
                                                                    : MoveFileExA(from, to, flags);
       },
       "copy failed: 2 tabs converted", kTabbed, false},
      // The file gone and no rename allowed: the converted copy is all there
      // is, and it stays, named in the line.
      {"1176, the file gone and every rename refused",
       [](LPCSTR replaced, LPCSTR, LPCSTR) {
         DeleteFileA(replaced);
         return Fail(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
       },
       [](LPCSTR, LPCSTR, DWORD) { return Fail(ERROR_ACCESS_DENIED); }, "copy kept", "<missing>", true},
      {"1175, the file could not be removed", [](LPCSTR, LPCSTR, LPCSTR) { return Fail(ERROR_UNABLE_TO_REMOVE_REPLACED); },
       nullptr, "copy failed: 2 tabs converted", kTabbed, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_Script = CScript();
    m_Script.replace = c.replace;
    m_Script.move = c.move;
    const std::string path = MakeFile(kTabbed);
    const ConvertResult result = ConvertFileInPlace(path, TabStopList{8});
    EXPECT_EQ(c.content, Text(path));
    const std::vector<std::string> content = FolderContent(m_Dir.GetPath());
    if (c.copyKept) {
      ASSERT_EQ(1u, content.size());
      const std::string copy = m_Dir / content[0];
      EXPECT_EQ("copy kept: 2 tabs converted in " + copy, Summary(result));
      EXPECT_EQ(0u, content[0].find("orvanezenvero-")) << content[0];
      EXPECT_EQ(kExpanded, Text(copy));
      ASSERT_TRUE(MoveFileExA(copy.c_str(), path.c_str(), 0));
    } else {
      EXPECT_EQ(c.summary, Summary(result));
      EXPECT_EQ(std::vector<std::string>{"file.txt"}, content);
    }
    // A backup name of the copy's, beside it.
    EXPECT_EQ(m_Dir / "orvanezenvero-", m_Script.backup.substr(0, m_Dir.GetPath().size() + 15));
    EXPECT_EQ(".bak", m_Script.backup.substr(m_Script.backup.size() - 4));
    EXPECT_TRUE(m_Script.flags & REPLACEFILE_IGNORE_MERGE_ERRORS);
  }
}

TEST_F(InPlaceSafety, AFileHeldForAMomentIsTriedAgainForAboutASecond) {
  for (DWORD error : {DWORD{ERROR_SHARING_VIOLATION}, DWORD{ERROR_ACCESS_DENIED}}) {
    SCOPED_TRACE(error);
    // Held for two tries, then let go.
    m_Script = CScript();
    int refusals = 2;
    m_Script.replace = [&](LPCSTR replaced, LPCSTR replacement, LPCSTR backup) {
      if (refusals-- > 0) return Fail(error);
      return DefaultReplaceFileRoutines().replaceFile(replaced, replacement, backup, 0, nullptr, nullptr);
    };
    const std::string path = MakeFile(kTabbed);
    EXPECT_EQ("converted: 2 tabs converted", Summary(ConvertFileInPlace(path, TabStopList{8})));
    EXPECT_EQ(kExpanded, Text(path));
    EXPECT_EQ(2u, m_Script.pauses.size());
    EXPECT_EQ(std::vector<std::string>{"file.txt"}, FolderContent(m_Dir.GetPath()));

    // Held throughout: given up after a bounded time, the file as it was.
    m_Script = CScript();
    m_Script.replace = [&](LPCSTR, LPCSTR, LPCSTR) { return Fail(error); };
    ASSERT_TRUE(WriteWholeFile(path, kTabbed));
    EXPECT_EQ("copy failed: 2 tabs converted", Summary(ConvertFileInPlace(path, TabStopList{8})));
    EXPECT_EQ(kTabbed, Text(path));
    EXPECT_EQ(std::vector<std::string>{"file.txt"}, FolderContent(m_Dir.GetPath()));
    DWORD waited = 0;
    for (DWORD pause : m_Script.pauses) waited += pause;
    EXPECT_GE(m_Script.pauses.size(), 3u);
    EXPECT_GE(waited, 500u);
    EXPECT_LE(waited, 1200u);
  }
}

TEST_F(InPlaceSafety, TheCopyIsFlushedToTheDiskBeforeItTakesTheFilesPlace) {
  const std::string path = MakeFile(kTabbed);
  EXPECT_EQ("converted: 2 tabs converted", Summary(ConvertFileInPlace(path, TabStopList{8})));
  EXPECT_EQ((std::vector<std::string>{"flush " + std::to_string(sizeof kExpanded - 1), "replace"}), m_Script.calls);
  EXPECT_EQ(kExpanded, Text(path));

  // A copy that cannot be flushed does not take the file's place.
  m_Script = CScript();
  m_Script.flush = [](HANDLE) { return Fail(ERROR_DISK_FULL); };
  ASSERT_TRUE(WriteWholeFile(path, kTabbed));
  EXPECT_EQ("copy failed: 2 tabs converted", Summary(ConvertFileInPlace(path, TabStopList{8})));
  EXPECT_EQ(std::vector<std::string>{"flush " + std::to_string(sizeof kExpanded - 1)}, m_Script.calls);
  EXPECT_EQ(kTabbed, Text(path));
  EXPECT_EQ(std::vector<std::string>{"file.txt"}, FolderContent(m_Dir.GetPath()));
}

FILETIME LastWritten(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  EXPECT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data));
  return data.ftLastWriteTime;
}

TEST_F(InPlaceSafety, AFileWithoutTabsIsOnlyRead) {
  // UTF-16 text: U+0109 and U+0900 hold a byte 09, and no tab.
  const std::string utf16("\xFF\xFE" "a\0\x09\x01\x00\x09" "b\0", 10);
  const struct {
    const char* name;
    std::string content;
    const char* summary;
  } cases[] = {
      {"plain text", "no tabs\r\nhere\r\n", "converted: 0 tabs converted"},
      {"empty", "", "converted: 0 tabs converted"},
      {"long", std::string(300000, 'x'), "converted: 0 tabs converted"},
      {"UTF-16 with bytes 09 that are no tab", utf16, "converted: 0 tabs converted"},
      {"binary", std::string("MZ\0\0", 4), "not text"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_Script = CScript();
    const std::string path = MakeFile(c.content);
    FILETIME old = {};
    SYSTEMTIME when = {2001, 2, 0, 3, 4, 5, 6, 0};
    ASSERT_TRUE(SystemTimeToFileTime(&when, &old));
    {
      CHandle file(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &old));
    }
    EXPECT_EQ(c.summary, Summary(ConvertFileInPlace(path, TabStopList{8})));
    EXPECT_TRUE(Text(path) == c.content);
    const FILETIME now = LastWritten(path);
    EXPECT_EQ(0, CompareFileTime(&old, &now)) << "the file was written";
    EXPECT_TRUE(m_Script.calls.empty());
    EXPECT_EQ(std::vector<std::string>{"file.txt"}, FolderContent(m_Dir.GetPath()));
  }
}

TEST_F(InPlaceSafety, AFileWithSeveralNamesIsLeftWhole) {
  const std::string path = MakeFile(kTabbed);
  const std::string other = m_Dir / "other name.txt";
  if (!CreateHardLinkA(other.c_str(), path.c_str(), nullptr))
    GTEST_SKIP() << "the file system makes no hard links (" << GetLastError() << ")";
  EXPECT_EQ("several names", Summary(ConvertFileInPlace(path, TabStopList{8})));
  EXPECT_EQ(kTabbed, Text(path));
  EXPECT_EQ(kTabbed, Text(other));
  EXPECT_TRUE(m_Script.calls.empty());
  // Still one file under two names.
  ASSERT_TRUE(WriteWholeFile(other, "x"));
  EXPECT_EQ("x", Text(path));
}

TEST_F(InPlaceSafety, ALinkIsLeftAsItIsAndItsTargetUntouched) {
  // A link of another name, and one of the same name to another folder.
  for (const char* targetName : {"target.txt", "link.txt"}) {
    SCOPED_TRACE(targetName);
    CTempDir elsewhere;
    const std::string target = elsewhere / targetName;
    ASSERT_TRUE(WriteWholeFile(target, kTabbed));
    const std::string link = m_Dir / "link.txt";
    if (!MakeHostSymbolicLink(link, target)) GTEST_SKIP() << "no host symbolic link can be made here";
    // What Wine 8 shows of it: a plain file (no reparse point, no tag),
    // whose final path is the target's.
    const DWORD attributes = GetFileAttributesA(link.c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    std::printf("the host's link as Wine shows it: attributes %lx\n", attributes);
    EXPECT_EQ("link", Summary(ConvertFileInPlace(link, TabStopList{8})));
    EXPECT_EQ(kTabbed, Text(target));
    EXPECT_EQ(kTabbed, Text(link));
    EXPECT_EQ(attributes, GetFileAttributesA(link.c_str()));
    EXPECT_EQ(std::vector<std::string>{"link.txt"}, FolderContent(m_Dir.GetPath()));
    EXPECT_EQ(std::vector<std::string>{targetName}, FolderContent(elsewhere.GetPath()));
    EXPECT_TRUE(m_Script.calls.empty());
    ASSERT_TRUE(RemoveHostLink(link));
    EXPECT_EQ(kTabbed, Text(target));
  }
}

// Where the volume takes a second name for a file, the file never leaves its
// name: the copy goes in through a second name of the file's and one rename
// puts it over the file. Whatever step fails, the file is whole under its
// name and nothing of ours is left.
TEST_F(InPlaceSafety, ThroughASecondNameTheFileNeverLeavesItsName) {
  const struct Case {
    const char* name;
    std::function<BOOL(LPCSTR, LPCSTR, LPCSTR)> replace;
    std::function<BOOL(LPCSTR, LPCSTR, DWORD)> move;
    const char* summary;
    std::string content;
  } cases[] = {
      {"every step done", nullptr, nullptr, "converted: 2 tabs converted", kExpanded},
      {"the replace refused", [](LPCSTR, LPCSTR, LPCSTR) { return Fail(ERROR_UNABLE_TO_REMOVE_REPLACED); }, nullptr,
       "copy failed: 2 tabs converted", kTabbed},
      // The second name moved to the spare one, then the copy not moved in.
      {"1177 on the second name",
       [](LPCSTR replaced, LPCSTR, LPCSTR backup) {
         MoveFileExA(replaced, backup, 0);
         return Fail(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
       },
       nullptr, "copy failed: 2 tabs converted", kTabbed},
      // The second name gone and the copy not moved in.
      {"1176 on the second name",
       [](LPCSTR replaced, LPCSTR, LPCSTR) {
         DeleteFileA(replaced);
         return Fail(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
       },
       nullptr, "copy failed: 2 tabs converted", kTabbed},
      // Everything in place but the last rename.
      {"the rename over the file refused", nullptr,
       [](LPCSTR from, LPCSTR to, DWORD flags) {
         return (flags & MOVEFILE_REPLACE_EXISTING) ? Fail(ERROR_ACCESS_DENIED) : MoveFileExA(from, to, flags);
       },
       "copy failed: 2 tabs converted", kTabbed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_Script = CScript();
    m_Script.replace = c.replace;
    m_Script.move = c.move;
    CReplaceFileRoutines routines = ReplaceFileRoutines();
    routines.createHardLink = CreateHardLinkA;
    CScopedRoutines<CReplaceFileRoutines> linked(SetReplaceFileRoutines, routines);
    const std::string path = MakeFile(kTabbed);
    EXPECT_EQ(c.summary, Summary(ConvertFileInPlace(path, TabStopList{8})));
    EXPECT_EQ(c.content, Text(path));
    EXPECT_EQ(std::vector<std::string>{"file.txt"}, FolderContent(m_Dir.GetPath()));
    // ReplaceFileA was given the file's second name, not the file's own.
    ASSERT_FALSE(m_Script.calls.empty());
    EXPECT_NE(std::string::npos, m_Script.backup.find("orvanezenvero-")) << m_Script.backup;
    EXPECT_EQ(".old", m_Script.backup.substr(m_Script.backup.size() - 4));
  }
}

}  // namespace
