#include "tests/e2e/program_fixture.h"

#include <cstdio>
#include <vector>

#include "tests/settings/registry_probe.h"

namespace {

constexpr const char kSelfInstallPath[] = "Software\\Orvane\\Zenvero\\SelfInstall";


// "major.minor" as the program shows its own version ("%d.%02d", plus
// " Beta n" for a third field of 1 to 99).
std::string VersionTextOf(const std::string& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  std::vector<char> data(size);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, data.data()) ||
      !VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length))
    return "";
  char text[64];
  std::snprintf(text, sizeof text, "%d.%02d", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS));
  std::string version = text;
  const int beta = HIWORD(fixed->dwFileVersionLS);
  if (beta >= 1 && beta <= 99) version += " Beta " + std::to_string(beta);
  return version;
}

// Beside the test executable, named after the test.
std::string FailurePicturePath() {
  char module[MAX_PATH];
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  std::string path = module;
  path.erase(path.find_last_of('\\') + 1);
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return path + "failure-" + info->test_suite_name() + "." + info->name() + ".bmp";
}

}  // namespace

void ProgramTest::SetUp() {
  DeleteTree(HKEY_CURRENT_USER, "Software\\Orvane");
  DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane");
  // Installed here, this version: the start is an ordinary start.
  SetRawString(HKEY_LOCAL_MACHINE, kSelfInstallPath, "Version", VersionTextOf(m_strProgramFolder + "Velmora.exe"));
  SetRawString(HKEY_LOCAL_MACHINE, kSelfInstallPath, "Directory", m_strProgramFolder);
}

void ProgramTest::TearDown() {
  if (HasFailure() && m_app.IsRunning()) {
    const std::string picture = FailurePicturePath();
    if (SaveWindowImage(GetDesktopWindow(), picture)) std::printf("screen saved to %s\n", picture.c_str());
  }
  m_app.Kill();
  DeleteTree(HKEY_CURRENT_USER, "Software\\Orvane");
  DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane");
}

void ProgramTest::StartProgram(const std::string& arguments) {
  std::string commandLine = "\"" + m_strProgramFolder + "Velmora.exe\"";
  if (!arguments.empty()) commandLine += " " + arguments;
  ASSERT_TRUE(m_app.Start(commandLine, m_work.GetPath())) << commandLine << ": " << GetLastError();
  m_hMain = m_app.WaitForWindow({kAppTitle, "#32770"});
  ASSERT_NE(nullptr, m_hMain) << "no main window";
  // Wait until the dialog has been filled (the tab box is never empty then)
  // and activated (which sets the clipboard button).
  ASSERT_TRUE(WaitUntil([&] { return !GetControlText(m_hMain, 1004).empty(); }));
  ASSERT_TRUE(WaitUntil([&] {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(m_hMain, nullptr), &info) && info.hwndActive == m_hMain &&
           GetForegroundWindow() == m_hMain;
  })) << "the main window is not active";
}

void ProgramTest::Type(int id, const std::string& text) {
  ASSERT_TRUE(TypeText(m_hMain, id, text)) << "box " << id << " shows \"" << GetControlText(m_hMain, id)
                                           << "\", not \"" << text << "\"";
}

void ProgramTest::Press(int id) { ASSERT_TRUE(PressButton(m_hMain, id)) << "button " << id; }

void ProgramTest::ExpectNotice(const std::string& text, int focusId) {
  MessageBoxInfo box;
  ASSERT_NO_FATAL_FAILURE(ExpectMessageBox(&box, {IDOK}));
  EXPECT_EQ(text, box.text);
  ASSERT_NO_FATAL_FAILURE(Answer(box, IDOK));
  ASSERT_NO_FATAL_FAILURE(ExpectMainWindowBack());
  if (focusId != 0) ExpectFocusOn(focusId);
}

void ProgramTest::ExpectQuestion(const std::string& text, int answer) {
  MessageBoxInfo box;
  ASSERT_NO_FATAL_FAILURE(ExpectMessageBox(&box, {IDYES, IDNO}));
  EXPECT_EQ(text, box.text);
  ASSERT_NO_FATAL_FAILURE(Answer(box, answer));
}

void ProgramTest::ExpectFocusOn(int id) {
  EXPECT_TRUE(WaitUntil([&] { return GetFocusedControlId(m_hMain) == id; }, 2000))
      << "focus on " << GetFocusedControlId(m_hMain) << ", not " << id;
}

void ProgramTest::ExpectMessageBox(MessageBoxInfo* box, const std::vector<int>& buttons) {
  ASSERT_TRUE(m_app.WaitForMessageBox(box)) << "no message box";
  EXPECT_EQ(kAppTitle, box->caption);
  EXPECT_EQ(buttons, box->buttons) << box->text;
  // Modal over the main window.
  EXPECT_EQ(m_hMain, box->owner);
  EXPECT_FALSE(IsWindowEnabled(m_hMain));
}

void ProgramTest::Answer(const MessageBoxInfo& box, int button) {
  ASSERT_TRUE(PressButton(box.hWnd, button)) << box.text;
  ASSERT_TRUE(WaitForWindowGone(box.hWnd)) << box.text;
}

void ProgramTest::ExpectProgramEnds() {
  DWORD code = 1;
  ASSERT_TRUE(m_app.WaitForExit(kUiWait, &code)) << "the program goes on";
  EXPECT_EQ(0u, code);
}

void ProgramTest::ExpectMainWindowBack() {
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(m_hMain) != FALSE; })) << "main window stays disabled";
  // The window is enabled as soon as a box closes, before the command that
  // showed it has finished (the histories are written after the answer). A
  // message sent from here is taken only when the program waits for input
  // again, so once it is answered the command is done.
  DWORD_PTR answer = 0;
  EXPECT_NE(0, SendMessageTimeoutA(m_hMain, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer))
      << "the program does not come back to its window";
  MessageBoxInfo box;
  EXPECT_FALSE(m_app.FindMessageBox(&box)) << box.text;
  EXPECT_TRUE(m_app.IsRunning());
}

std::string ProgramTest::Setting(const char* name) const {
  RawValue value = QueryRaw(HKEY_CURRENT_USER, kSettingsPath, name);
  if (!value.exists || value.type != REG_SZ) return "";
  std::string text = value.Text();
  if (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

long ProgramTest::SettingNumber(const char* name) const {
  RawValue value = QueryRaw(HKEY_CURRENT_USER, kSettingsPath, name);
  if (!value.exists || value.type != REG_DWORD) return -1;
  return static_cast<long>(value.Dword());
}

bool ProgramTest::HasSetting(const char* name) const {
  return QueryRaw(HKEY_CURRENT_USER, kSettingsPath, name).exists;
}

std::string ProgramTest::ReadWorkFile(const std::string& name) const {
  std::string data;
  EXPECT_TRUE(ReadWholeFile(WorkFile(name), &data)) << name;
  return data;
}

std::string LegacyCodePageFolder() {
  std::string folder = GetDistFolder();
  folder.erase(folder.size() - 5);  // "dist\\"
  return folder + "legacy-code-page\\";
}
