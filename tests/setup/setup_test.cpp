#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/handle.h"
#include "setup/launcher.h"
#include "tests/support/scoped_routines.h"
#include "tests/support/temp_dir.h"

namespace {

// What the launcher handed to CreateProcessA.
struct StartCall {
  int count = 0;
  bool hasApplicationName = true;
  std::string commandLine;
  bool commandLineIsConstant = true;
  bool hasAttributes = true;
  BOOL inheritHandles = TRUE;
  DWORD creationFlags = 0;
  bool hasEnvironment = true;
  bool hasCurrentDirectory = true;
  STARTUPINFOA startup = {};
  bool hasProcessInformation = false;
};
StartCall g_Start;
BOOL g_bStartResult;

BOOL WINAPI RecordingCreateProcess(LPCSTR applicationName, LPSTR commandLine,
                                   LPSECURITY_ATTRIBUTES processAttributes,
                                   LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                                   DWORD creationFlags, LPVOID environment, LPCSTR currentDirectory,
                                   LPSTARTUPINFOA startupInfo, LPPROCESS_INFORMATION processInformation) {
  ++g_Start.count;
  g_Start.hasApplicationName = applicationName != nullptr;
  g_Start.commandLine = commandLine;
  g_Start.commandLineIsConstant = commandLine == kSetupCommandLine;
  // CreateProcessA may write into the text; the launcher's copy must take it.
  commandLine[0] = 'X';
  g_Start.hasAttributes = processAttributes != nullptr || threadAttributes != nullptr;
  g_Start.inheritHandles = inheritHandles;
  g_Start.creationFlags = creationFlags;
  g_Start.hasEnvironment = environment != nullptr;
  g_Start.hasCurrentDirectory = currentDirectory != nullptr;
  g_Start.startup = *startupInfo;
  g_Start.hasProcessInformation = processInformation != nullptr;
  SetLastError(ERROR_FILE_NOT_FOUND);
  return g_bStartResult;
}

struct Box {
  int count = 0;
  HWND owner = reinterpret_cast<HWND>(1);
  std::string text;
  std::string caption;
  UINT type = 0;
};
Box g_Box;

int WINAPI RecordingMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  ++g_Box.count;
  g_Box.owner = owner;
  g_Box.text = text;
  g_Box.caption = caption;
  g_Box.type = type;
  return IDOK;
}

int g_nWaits = 0;
DWORD g_dwInstallCode = 0;
DWORD FakeWait(HANDLE) {
  ++g_nWaits;
  return g_dwInstallCode;
}

class LauncherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_Start = StartCall();
    g_Box = Box();
    g_nWaits = 0;
  }
  CScopedRoutines<CLauncherRoutines> m_Routines{
      SetLauncherRoutines, {RecordingCreateProcess, RecordingMessageBox, FakeWait, nullptr}};
};

TEST_F(LauncherTest, StartsTheInstallCommandShownAndWithoutWaiting) {
  g_bStartResult = TRUE;
  EXPECT_EQ(0, RunSetupLauncher());

  ASSERT_EQ(1, g_Start.count);
  EXPECT_FALSE(g_Start.hasApplicationName);
  EXPECT_EQ("Velmora /install", g_Start.commandLine);
  EXPECT_FALSE(g_Start.commandLineIsConstant);
  EXPECT_STREQ("Velmora /install", kSetupCommandLine);
  EXPECT_FALSE(g_Start.hasAttributes);
  EXPECT_FALSE(g_Start.inheritHandles);
  EXPECT_EQ(static_cast<DWORD>(NORMAL_PRIORITY_CLASS), g_Start.creationFlags);
  EXPECT_FALSE(g_Start.hasEnvironment);
  EXPECT_FALSE(g_Start.hasCurrentDirectory);
  EXPECT_TRUE(g_Start.hasProcessInformation);

  // The record's size, STARTF_USESHOWWINDOW and SW_SHOW; everything else zero.
  STARTUPINFOA expected = {};
  expected.cb = sizeof expected;
  expected.dwFlags = STARTF_USESHOWWINDOW;
  expected.wShowWindow = SW_SHOW;
  EXPECT_EQ(0, std::memcmp(&expected, &g_Start.startup, sizeof expected));

  EXPECT_EQ(0, g_Box.count);
}

TEST_F(LauncherTest, FailedStartShowsTheOneErrorBoxAndStillReturnsZero) {
  g_bStartResult = FALSE;
  EXPECT_EQ(0, RunSetupLauncher());
  EXPECT_EQ(1, g_Start.count);
  ASSERT_EQ(1, g_Box.count);
  EXPECT_EQ(nullptr, g_Box.owner);
  EXPECT_EQ("Unable to run \"Velmora /install\".", g_Box.text);
  EXPECT_EQ("Error", g_Box.caption);
  EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), g_Box.type);
}

// An administrator's switches go on after "/install"; setup then waits for
// the installation and returns its code. Anything else is dropped, as ever.
TEST_F(LauncherTest, SwitchesGoOnAndTheInstallationsCodeComesBack) {
  struct Case {
    const char* arguments;
    const char* command;
    bool waits;
  } cases[] = {
      {"/VERYSILENT /DIR=\"C:\\My Tools\"", "Velmora /install /VERYSILENT /DIR=\"C:\\My Tools\"", true},
      {"/silent /log=setup.log", "Velmora /install /silent /log=setup.log", true},
      {"readme.txt", "Velmora /install", false},
      {"/VERYSILENT /BAD", "Velmora /install", false},
      {"", "Velmora /install", false},
  };
  g_bStartResult = TRUE;
  g_dwInstallCode = 3010;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    g_nWaits = 0;
    const int code = RunSetupLauncher(c.arguments);
    EXPECT_EQ(c.command, g_Start.commandLine);
    EXPECT_EQ(c.waits ? 1 : 0, g_nWaits);
    EXPECT_EQ(c.waits ? 3010 : 0, code);
  }
  EXPECT_EQ(0, g_Box.count);

  // A start that fails: code 1, and the box only where someone looks.
  g_bStartResult = FALSE;
  EXPECT_EQ(1, RunSetupLauncher("/VERYSILENT"));
  EXPECT_EQ(0, g_Box.count);
  EXPECT_EQ(1, RunSetupLauncher("/LOG=setup.log"));
  EXPECT_EQ(1, g_Box.count);
  EXPECT_EQ(0, g_nWaits);
}

// On the NT family the command goes on in UTF-16, so that switches in any
// script arrive whole.
std::wstring g_WideCommandLine;
BOOL WINAPI RecordingCreateProcessW(LPCWSTR, LPWSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                                    DWORD, LPVOID, LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION) {
  g_WideCommandLine = commandLine;
  return TRUE;
}

TEST_F(LauncherTest, SwitchesInAnyScriptGoOnInUtf16) {
  CScopedRoutines<CLauncherRoutines> wide(
      SetLauncherRoutines, {RecordingCreateProcess, RecordingMessageBox, FakeWait, RecordingCreateProcessW});
  g_dwInstallCode = 0;
  EXPECT_EQ(0, RunSetupLauncher(u8"/VERYSILENT /DIR=\"C:\\Папка 日本 😀\" /LOG=C:\\журнал.txt"));
  EXPECT_EQ(L"Velmora /install /VERYSILENT /DIR=\"C:\\\u041F\u0430\u043F\u043A\u0430 \u65E5\u672C \U0001F600\" "
            L"/LOG=C:\\\u0436\u0443\u0440\u043D\u0430\u043B.txt",
            g_WideCommandLine);
  EXPECT_EQ(0, g_Start.count);
  EXPECT_EQ(1, g_nWaits);
}

// setup.exe itself, run as a user runs it.


// Waits up to 20 s for the stand-in's record in folder; empty when none came.
std::string WaitForRecord(const std::string& folder) {
  std::string record;
  for (int i = 0; i < 400; ++i) {
    if (ReadWholeFile(folder + "\\recorded.txt", &record)) return record;
    Sleep(50);
  }
  return std::string();
}

class CProcess {
 public:
  // Starts program with the whole command line in folder.
  CProcess(std::string commandLine, const std::string& folder) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    m_bStarted = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                folder.c_str(), &startup, &info) != FALSE;
    if (m_bStarted) m_Info = CProcessInformation(info);
  }
  ~CProcess() {
    if (!m_bStarted) return;
    if (WaitForSingleObject(m_Info.Process(), 0) == WAIT_TIMEOUT) TerminateProcess(m_Info.Process(), 1);
  }
  bool Started() const { return m_bStarted; }
  DWORD Id() const { return m_Info.ProcessId(); }
  // The exit code, or STILL_ACTIVE when it did not end within 20 s.
  DWORD WaitForExit() const {
    WaitForSingleObject(m_Info.Process(), 20000);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(m_Info.Process(), &code);
    return code;
  }

 private:
  bool m_bStarted = false;
  CProcessInformation m_Info;
};

class SetupExeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_strSetup = m_Dist / "setup.exe";
    ASSERT_TRUE(CopyFileA((OwnFolder() + SETUP_EXE_FROM_TEST).c_str(), m_strSetup.c_str(), FALSE))
        << OwnFolder() + SETUP_EXE_FROM_TEST;
  }
  void PlaceStandIn(const std::string& folder) {
    ASSERT_TRUE(CopyFileA(COMMAND_RECORDER_EXE, (folder + "\\Velmora.exe").c_str(), FALSE))
        << COMMAND_RECORDER_EXE;
  }

  CTempDir m_Dist;     // where setup.exe lies
  CTempDir m_Current;  // the current folder it is started in
  std::string m_strSetup;
};

TEST_F(SetupExeTest, StartsTheProgramBesideItBeforeOneInTheCurrentFolder) {
  // With no application name, CreateProcessA looks in the starting program's
  // folder first and only then in the current folder.
  const struct {
    const char* what;
    bool beside;
    bool current;
  } cases[] = {
      {"beside setup only", true, false},
      {"beside setup and in the current folder", true, true},
      {"in the current folder only", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const CTempDir* dir : {&m_Dist, &m_Current}) {
      DeleteFileA((*dir / "recorded.txt").c_str());
      DeleteFileA((*dir / "Velmora.exe").c_str());
    }
    if (c.beside) PlaceStandIn(m_Dist.GetPath());
    if (c.current) PlaceStandIn(m_Current.GetPath());

    // Its own arguments are dropped.
    CProcess setup("\"" + m_strSetup + "\" /quiet extra words", m_Current.GetPath());
    ASSERT_TRUE(setup.Started());
    EXPECT_EQ(0u, setup.WaitForExit());

    const CTempDir& started = c.beside ? m_Dist : m_Current;
    const std::string record = WaitForRecord(started.GetPath());
    EXPECT_EQ("Velmora /install\r\n" + m_Current.GetPath() + "\r\nflags 1 show 5\r\n", record);
    if (c.beside && c.current) {
      EXPECT_FALSE(FileExists(m_Current / "recorded.txt"));
    }
  }
}

// Switches in any script, started as a shell starts setup (in UTF-16), reach
// the program whole; setup waits for it and passes its code on.
TEST_F(SetupExeTest, SwitchesInAnyScriptReachTheProgramWhole) {
  PlaceStandIn(m_Dist.GetPath());
  const std::string switches = u8"/VERYSILENT /DIR=\"C:\\Папка αβ 日本 😀\\\" /LOG=журнал.txt";
  std::wstring command = L"\"" + std::wstring(m_strSetup.begin(), m_strSetup.end()) + L"\" ";
  const int units = MultiByteToWideChar(CP_UTF8, 0, switches.c_str(), -1, nullptr, 0);
  std::wstring wideSwitches(units - 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, switches.c_str(), -1, &wideSwitches[0], units);
  command += wideSwitches;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
  CProcessInformation process(info);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.Process(), 20000));
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process.Process(), &code);
  EXPECT_EQ(0u, code);
  ASSERT_FALSE(WaitForRecord(m_Dist.GetPath()).empty());
  std::string wide;
  ASSERT_TRUE(ReadWholeFile(m_Dist / "recorded-wide.txt", &wide));
  EXPECT_EQ("Velmora /install " + switches, wide);
}

// The top-level dialog window of process id, or null.
HWND FindProcessDialog(DWORD id) {
  struct Search {
    DWORD id;
    HWND found;
  } search = {id, nullptr};
  EnumWindows(
      [](HWND window, LPARAM parameter) -> BOOL {
        Search* s = reinterpret_cast<Search*>(parameter);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        char className[16] = "";
        GetClassNameA(window, className, sizeof className);
        if (owner != s->id || std::strcmp(className, "#32770") != 0 || !IsWindowVisible(window))
          return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

TEST_F(SetupExeTest, MissingProgramGivesTheErrorBoxAndExitCodeZero) {
  CProcess setup("\"" + m_strSetup + "\"", m_Current.GetPath());
  ASSERT_TRUE(setup.Started());
  HWND box = nullptr;
  for (int i = 0; i < 400 && box == nullptr; ++i) {
    box = FindProcessDialog(setup.Id());
    if (box == nullptr) Sleep(50);
  }
  ASSERT_NE(nullptr, box) << "no message box";
  char caption[64] = "";
  GetWindowTextA(box, caption, sizeof caption);
  char text[256] = "";
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  EXPECT_STREQ("Error", caption);
  EXPECT_STREQ("Unable to run \"Velmora /install\".", text);
  // Its owner is nobody.
  EXPECT_EQ(nullptr, GetWindow(box, GW_OWNER));

  PostMessageA(box, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, setup.WaitForExit());
}

TEST_F(SetupExeTest, CarriesTheInstallerIconAndRunsAsInvoker) {
  HMODULE image = LoadLibraryExA(m_strSetup.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, image);
  // Icon group 137: 32x32 and 16x16 images with 16 colours, 48x48 and
  // 256x256 (written as 0x0) in full colour.
  HRSRC group = FindResourceA(image, MAKEINTRESOURCEA(137), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
  ASSERT_NE(nullptr, group);
  const BYTE* directory = static_cast<const BYTE*>(LockResource(LoadResource(image, group)));
  ASSERT_NE(nullptr, directory);
  const WORD count = *reinterpret_cast<const WORD*>(directory + 4);
  ASSERT_EQ(4, count);
  std::string sizes;
  for (WORD i = 0; i < count; ++i) {
    const BYTE* entry = directory + 6 + 14 * i;  // width, height, colours, ...
    sizes += std::to_string(entry[0]) + "x" + std::to_string(entry[1]) + "/" + std::to_string(entry[2]) + " ";
  }
  EXPECT_EQ("32x32/16 16x16/16 48x48/0 0x0/0 ", sizes);
  // Its manifest asks for no elevation, whatever its name suggests.
  HRSRC manifest = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
  ASSERT_NE(nullptr, manifest);
  const std::string text(static_cast<const char*>(LockResource(LoadResource(image, manifest))),
                         SizeofResource(image, manifest));
  EXPECT_NE(std::string::npos, text.find("level=\"asInvoker\"")) << text;
  // No dialogs, strings or version block.
  for (int type : {5, 6, 16})  // RT_DIALOG, RT_STRING, RT_VERSION
    EXPECT_FALSE(EnumResourceNamesA(image, MAKEINTRESOURCEA(type),
                                    [](HMODULE, LPCSTR, LPSTR, LONG_PTR) -> BOOL { return TRUE; }, 0))
        << type;
  FreeLibrary(image);
}

}  // namespace
