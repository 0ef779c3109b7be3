#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/handle.h"
#include "installer/deferred.h"
#include "installer/installer_routines.h"
#include "tests/support/running_copy.h"
#include "tests/support/scoped_routines.h"
#include "tests/support/temp_dir.h"

namespace {


std::string ShortPath(const std::string& path) {
  char buffer[MAX_PATH];
  const DWORD length = GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(buffer, length) : std::string();
}


// The system's list of pending renames: the raw value, to be put back as it was.
struct PendingOperations {
  bool exists = false;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;

  static PendingOperations Read() {
    PendingOperations pending;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
      return pending;
    DWORD size = 0;
    if (RegQueryValueExA(key, kPendingFileRenameValue, nullptr, &pending.type, nullptr, &size) == ERROR_SUCCESS) {
      pending.data.resize(size);
      pending.exists = RegQueryValueExA(key, kPendingFileRenameValue, nullptr, &pending.type,
                                        pending.data.data(), &size) == ERROR_SUCCESS;
      pending.data.resize(size);
    }
    RegCloseKey(key);
    return pending;
  }
  void Restore() const {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
      return;
    if (exists)
      RegSetValueExA(key, kPendingFileRenameValue, 0, type, data.data(), static_cast<DWORD>(data.size()));
    else
      RegDeleteValueA(key, kPendingFileRenameValue);
    RegCloseKey(key);
  }
  // The strings of the REG_MULTI_SZ, in pairs of source and target.
  std::vector<std::string> Strings() const {
    std::vector<std::string> strings;
    std::string current;
    for (BYTE byte : data) {
      if (byte != 0) {
        current += static_cast<char>(byte);
      } else {
        strings.push_back(current);
        current.clear();
      }
    }
    // The list ends with one more zero, which is no entry.
    if (!strings.empty() && strings.back().empty()) strings.pop_back();
    return strings;
  }
  bool operator==(const PendingOperations& other) const {
    return exists == other.exists && type == other.type && data == other.data;
  }
};

// A MoveFileExA that fails as on Windows 95 and records how it was called.
struct MoveCall {
  std::string existing;
  bool hasNewName;
  DWORD flags;
};
std::vector<MoveCall> g_MoveCalls;
BOOL WINAPI FailingMoveFileEx(LPCSTR existing, LPCSTR newName, DWORD flags) {
  g_MoveCalls.push_back({existing, newName != nullptr, flags});
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}

CInstallerRoutines WithFailingMoveFileEx() {
  g_MoveCalls.clear();
  CInstallerRoutines routines = InstallerRoutines();
  routines.moveFileEx = FailingMoveFileEx;
  return routines;
}

// MoveFileExA fails while the object lives: the WinInit.Ini way is taken.
class CFailingMoveFileEx : public CScopedRoutines<CInstallerRoutines> {
 public:
  CFailingMoveFileEx() : CScopedRoutines(SetInstallerRoutines, WithFailingMoveFileEx()) {}
};

// The routines in use with WinInit.Ini in `folder`, read at the next start
// as Windows 95, 98 and Me read it.
CInstallerRoutines WithWinInitFolder(const std::string& folder) {
  CInstallerRoutines routines = InstallerRoutines();
  routines.winInitRead = true;
  routines.winInitFolder = folder;
  return routines;
}

// WinInit.Ini in `folder` while the object lives.
class CWinInitFolder : public CScopedRoutines<CInstallerRoutines> {
 public:
  explicit CWinInitFolder(const std::string& folder)
      : CScopedRoutines(SetInstallerRoutines, WithWinInitFolder(folder)) {}
};

// Every test has a scratch folder, a WinInit.Ini folder of its own inside it
// (never the real Windows folder) and leaves the system's pending renames as
// it found them.
class DeferredTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_strWinInitFolder = m_Dir / "windows";
    ASSERT_TRUE(CreateDirectoryA(m_strWinInitFolder.c_str(), nullptr));
    m_Pending = PendingOperations::Read();
    m_strTarget = m_Dir / "a rather long file name.txt";
    ASSERT_TRUE(WriteWholeFile(m_strTarget, "data"));
    m_strShort = ShortPath(m_strTarget);
    ASSERT_FALSE(m_strShort.empty());
  }
  void TearDown() override { m_Pending.Restore(); }
  std::string WinInitPath() const { return m_strWinInitFolder + "\\WinInit.Ini"; }
  std::string WinInit() const {
    std::string content;
    EXPECT_TRUE(ReadWholeFile(WinInitPath(), &content));
    return content;
  }

  CTempDir m_Dir;
  std::string m_strWinInitFolder = m_Dir / "windows";
  CWinInitFolder m_WinInitRoutines{m_strWinInitFolder};
  PendingOperations m_Pending;
  std::string m_strTarget;
  std::string m_strShort;
};

TEST_F(DeferredTest, WinInitGetsTheRequestBelowItsRenameHeader) {
  CFailingMoveFileEx failing;
  const std::string old = "NUL=C:\\OLD.TXT\r\n";
  const std::string zeros("x=\0\0\r\n", 6);
  const struct {
    const char* what;
    bool exists;
    std::string before;
    std::string after;  // with @ for the new request line
  } cases[] = {
      {"no file", false, "", "[Rename]\r\n@"},
      {"empty file", true, "", "[Rename]\r\n@"},
      {"no section", true, "[boot]\r\nshell=x\r\n", "[boot]\r\nshell=x\r\n[Rename]\r\n@"},
      {"a section", true, "[boot]\r\n[Rename]\r\n" + old + "[next]\r\na=b\r\n",
       "[boot]\r\n[Rename]\r\n@" + old + "[next]\r\na=b\r\n"},
      {"header last", true, "[boot]\r\n[Rename]\r\n", "[boot]\r\n[Rename]\r\n@"},
      {"lower-case header", true, "[rename]\r\n" + old, "[rename]\r\n" + old + "[Rename]\r\n@"},
      {"zero bytes before", true, zeros + "[Rename]\r\n" + old, zeros + "[Rename]\r\n@" + old},
      // A header must begin its line; a last line needs its end before one.
      {"header inside a line", true, "x[Rename]\r\n", "x[Rename]\r\n[Rename]\r\n@"},
      {"no final line end", true, "[boot]\r\nshell=x", "[boot]\r\nshell=x\r\n[Rename]\r\n@"},
  };
  const std::string request = "NUL=" + m_strShort + "\r\n";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA(WinInitPath().c_str());
    if (c.exists) {
      ASSERT_TRUE(WriteWholeFile(WinInitPath(), c.before));
    }
    g_MoveCalls.clear();

    EXPECT_TRUE(MoveFileAtRestart(m_strTarget.c_str(), nullptr));

    std::string expected = c.after;
    expected.replace(expected.find('@'), 1, request);
    EXPECT_EQ(expected, WinInit());
    // MoveFileExA was asked first, with the short path.
    ASSERT_EQ(1u, g_MoveCalls.size());
    EXPECT_EQ(m_strShort, g_MoveCalls[0].existing);
    EXPECT_FALSE(g_MoveCalls[0].hasNewName);
    EXPECT_EQ(static_cast<DWORD>(MOVEFILE_DELAY_UNTIL_REBOOT), g_MoveCalls[0].flags);
  }
  EXPECT_TRUE(FileExists(m_strTarget));
}

TEST_F(DeferredTest, LaterRequestsComeFirstAndNewNamesStayAsGiven) {
  CFailingMoveFileEx failing;
  const std::string second = m_Dir / "second.txt";
  ASSERT_TRUE(WriteWholeFile(second, ""));
  ASSERT_TRUE(MoveFileAtRestart(m_strTarget.c_str(), nullptr));
  ASSERT_TRUE(MoveFileAtRestart(second.c_str(), "C:\\New Folder\\renamed file.txt"));
  ASSERT_TRUE(MoveFileAtRestart(m_strTarget.c_str(), nullptr));
  EXPECT_EQ("[Rename]\r\nNUL=" + m_strShort + "\r\nC:\\New Folder\\renamed file.txt=" +
                ShortPath(second) + "\r\nNUL=" + m_strShort + "\r\n",
            WinInit());
}

TEST_F(DeferredTest, FailedRequestsLeaveEverythingAsItWas) {
  CFailingMoveFileEx failing;
  // A file that is not there has no short path: nothing is asked or written.
  EXPECT_FALSE(MoveFileAtRestart((m_Dir / "missing.txt").c_str(), nullptr));
  EXPECT_FALSE(MoveFileAtRestart("", nullptr));
  EXPECT_FALSE(MoveFileAtRestart(nullptr, nullptr));
  EXPECT_TRUE(g_MoveCalls.empty());
  EXPECT_FALSE(FileExists(WinInitPath()));

  // WinInit.Ini held open by another program, without sharing.
  const std::string content = "[Rename]\r\nNUL=C:\\OLD.TXT\r\n";
  ASSERT_TRUE(WriteWholeFile(WinInitPath(), content));
  CHandle held(CreateFileA(WinInitPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_NE(INVALID_HANDLE_VALUE, held.Get());
  EXPECT_FALSE(MoveFileAtRestart(m_strTarget.c_str(), nullptr));
  held.Close();
  EXPECT_EQ(content, WinInit());

  // A folder for WinInit.Ini that does not exist.
  CWinInitFolder missing(m_Dir / "no such folder");
  EXPECT_FALSE(MoveFileAtRestart(m_strTarget.c_str(), nullptr));
  EXPECT_FALSE(FileExists(m_Dir / "no such folder"));
  EXPECT_EQ(PendingOperations::Read(), m_Pending);
}

TEST_F(DeferredTest, SystemRequestLeavesWinInitAlone) {
  ASSERT_TRUE(MoveFileAtRestart(m_strTarget.c_str(), nullptr));
  EXPECT_FALSE(FileExists(WinInitPath()));
  const std::vector<std::string> strings = PendingOperations::Read().Strings();
  ASSERT_GE(strings.size(), 2u);
  // The newest pair: the short path (in the system's own notation) and no target.
  const std::string& source = strings[strings.size() - 2];
  ASSERT_GE(source.size(), m_strShort.size());
  EXPECT_EQ(0, lstrcmpiA(m_strShort.c_str(), source.c_str() + source.size() - m_strShort.size()))
      << source;
  EXPECT_EQ("", strings.back());
}

TEST_F(DeferredTest, DeleteFileOrDeferOnlyDefersWhatIsRefusedAccess) {
  // Deleted at once, missing, or not named: nothing deferred.
  EXPECT_EQ(DeleteResult::kNotDeferred, DeleteFileOrDefer(m_strTarget));
  EXPECT_FALSE(FileExists(m_strTarget));
  EXPECT_EQ(DeleteResult::kNotDeferred, DeleteFileOrDefer(m_strTarget));
  EXPECT_EQ(DeleteResult::kNotDeferred, DeleteFileOrDefer(""));

  // Open elsewhere without delete sharing: a sharing violation, passed over.
  const std::string open = m_Dir / "open.txt";
  ASSERT_TRUE(WriteWholeFile(open, "x"));
  CHandle held(CreateFileA(open.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_NE(INVALID_HANDLE_VALUE, held.Get());
  {
    CFailingMoveFileEx failing;
    EXPECT_EQ(DeleteResult::kNotDeferred, DeleteFileOrDefer(open));
    EXPECT_TRUE(g_MoveCalls.empty());
  }
  held.Close();
  EXPECT_TRUE(FileExists(open));
  EXPECT_FALSE(FileExists(WinInitPath()));
  EXPECT_EQ(PendingOperations::Read(), m_Pending);
}

// A copy of the stand-in program, started and kept running.

TEST_F(DeferredTest, RunningExecutableIsDeferredThroughTheSystem) {
  const std::string exe = m_Dir / "running program.exe";
  CRunningCopy running(COMMAND_RECORDER_EXE, exe);
  ASSERT_TRUE(running.IsRunning());

  EXPECT_EQ(DeleteResult::kDeferred, DeleteFileOrDefer(exe));
  EXPECT_TRUE(FileExists(exe));
  EXPECT_FALSE(FileExists(WinInitPath()));
  const PendingOperations pending = PendingOperations::Read();
  EXPECT_FALSE(pending == m_Pending);
  const std::string shortExe = ShortPath(exe);
  bool listed = false;
  for (const std::string& s : pending.Strings())
    listed = listed || (s.size() >= shortExe.size() &&
                        lstrcmpiA(s.c_str() + s.size() - shortExe.size(), shortExe.c_str()) == 0);
  EXPECT_TRUE(listed);
}

TEST_F(DeferredTest, RunningExecutableIsDeferredThroughWinInitWithoutTheSystemCall) {
  const std::string exe = m_Dir / "running program.exe";
  CRunningCopy running(COMMAND_RECORDER_EXE, exe);
  ASSERT_TRUE(running.IsRunning());
  CFailingMoveFileEx failing;

  EXPECT_EQ(DeleteResult::kDeferred, DeleteFileOrDefer(exe));
  EXPECT_TRUE(FileExists(exe));
  EXPECT_EQ("[Rename]\r\nNUL=" + ShortPath(exe) + "\r\n", WinInit());
  EXPECT_EQ(PendingOperations::Read(), m_Pending);

  // Where neither way works the deletion is not counted as deferred.
  CWinInitFolder missing(m_Dir / "no such folder");
  EXPECT_EQ(DeleteResult::kNotDeferred, DeleteFileOrDefer(exe));
}

// The NT family never reads WinInit.Ini: a deletion that the system call
// refuses there is not deferred, and the file is not written.
TEST_F(DeferredTest, OnTheNtFamilyARefusedRequestIsNotPutInWinInit) {
  const std::string exe = m_Dir / "running program.exe";
  CRunningCopy running(COMMAND_RECORDER_EXE, exe);
  ASSERT_TRUE(running.IsRunning());
  CFailingMoveFileEx failing;
  CInstallerRoutines nt = InstallerRoutines();
  nt.winInitRead = false;
  CScopedRoutines<CInstallerRoutines> scoped(SetInstallerRoutines, nt);

  EXPECT_EQ(DeleteResult::kNotDeferred, DeleteFileOrDefer(exe));
  EXPECT_EQ(1u, g_MoveCalls.size());
  EXPECT_TRUE(FileExists(exe));
  EXPECT_FALSE(FileExists(WinInitPath()));
  EXPECT_EQ(PendingOperations::Read(), m_Pending);
}

// The restart, with a stand-in for ExitWindowsEx.
UINT g_nExitFlags;
DWORD g_nExitReason;
int g_nExitCalls;
BOOL g_bExitResult;
BOOL WINAPI RecordingExitWindows(UINT flags, DWORD reason) {
  ++g_nExitCalls;
  g_nExitFlags = flags;
  g_nExitReason = reason;
  return g_bExitResult;
}

// Whether the shutdown privilege of this process is enabled; -1 when the
// token does not hold it at all.
int ShutdownPrivilegeState() {
  CHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return -1;
  LUID luid;
  LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &luid);
  DWORD size = 0;
  GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  int state = -1;
  if (GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size)) {
    const TOKEN_PRIVILEGES* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
      const LUID_AND_ATTRIBUTES& p = privileges->Privileges[i];
      if (p.Luid.LowPart == luid.LowPart && p.Luid.HighPart == luid.HighPart)
        state = (p.Attributes & SE_PRIVILEGE_ENABLED) ? 1 : 0;
    }
  }
  return state;
}

void SetShutdownPrivilege(DWORD attributes) {
  CHandle token;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Receive()));
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  ASSERT_TRUE(LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid));
  privileges.Privileges[0].Attributes = attributes;
  EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr));
}

TEST(ExitWindowsWithPrivilegeTest, EnablesThePrivilegeAndPassesTheFlagsOn) {
  CInstallerRoutines recording = InstallerRoutines();
  recording.exitWindowsEx = RecordingExitWindows;
  CScopedRoutines<CInstallerRoutines> scoped(SetInstallerRoutines, recording);
  ASSERT_GE(ShutdownPrivilegeState(), 0) << "the token has no shutdown privilege";
  for (BOOL result : {TRUE, FALSE}) {
    SetShutdownPrivilege(0);
    ASSERT_EQ(0, ShutdownPrivilegeState());
    g_nExitCalls = 0;
    g_bExitResult = result;
    g_nExitReason = 0xdeadbeef;

    EXPECT_EQ(result, ExitWindowsWithPrivilege(EWX_REBOOT));

    EXPECT_EQ(1, g_nExitCalls);
    EXPECT_EQ(static_cast<UINT>(EWX_REBOOT), g_nExitFlags);
    EXPECT_EQ(0u, g_nExitReason);
    EXPECT_EQ(1, ShutdownPrivilegeState());
  }
  // The setter hands back the routines it replaces.
  CScopedRoutines<CInstallerRoutines> previous(SetInstallerRoutines, scoped.Previous());
  EXPECT_EQ(RecordingExitWindows, previous.Previous().exitWindowsEx);
}

}  // namespace
