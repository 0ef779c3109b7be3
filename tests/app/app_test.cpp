// The application's message boxes, and where the program lies.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/main_dlg.h"
#include "app_base/module.h"
#include "framework/handle.h"
#include "framework/win_app.h"
#include "resources/resource.h"
#include "tests/app/test_app.h"

namespace {

const char kTitle[] = "Orvane Zenvero";

TEST(MessageBoxes, CarryTheTitleAndGetTheExclamationIconByTheRule) {
  TestApp().Start("Velmora.exe");
  struct Case {
    UINT type;
    UINT shown;
  } cases[] = {
      {MB_OK, MB_OK | MB_ICONEXCLAMATION},
      {MB_OKCANCEL, MB_OKCANCEL | MB_ICONEXCLAMATION},
      {MB_YESNOCANCEL, MB_YESNOCANCEL | MB_ICONEXCLAMATION},
      {MB_YESNO, MB_YESNO | MB_ICONEXCLAMATION},
      {MB_ABORTRETRYIGNORE, MB_ABORTRETRYIGNORE},
      {MB_RETRYCANCEL, MB_RETRYCANCEL},
      {MB_YESNO | MB_ICONQUESTION, MB_YESNO | MB_ICONQUESTION},
      {MB_OK | MB_ICONINFORMATION, MB_OK | MB_ICONINFORMATION},
      {MB_ICONEXCLAMATION, MB_ICONEXCLAMATION},
      {MB_OKCANCEL | MB_DEFBUTTON2, MB_OKCANCEL | MB_DEFBUTTON2 | MB_ICONEXCLAMATION},
  };
  TestApp().m_nAnswer = IDNO;
  for (const Case& c : cases) {
    EXPECT_EQ(IDNO, AfxMessageBox("text", c.type));
    ASSERT_FALSE(TestApp().m_Boxes.empty());
    EXPECT_EQ(kTitle, TestApp().m_Boxes.back().caption);
    EXPECT_EQ(c.shown, TestApp().m_Boxes.back().type) << std::hex << c.type;
  }
  // A string-table message is loaded first.
  AfxMessageBox(IDS_OLE_INIT_FAILED, MB_OK);
  EXPECT_EQ(
      "OLE initialization failed.  Make sure that the OLE libraries are the correct version.",
      TestApp().m_Boxes.back().text);
}

TEST(MessageBoxes, ARealBoxIsOwnedByTheMainWindowWhichWaitsDisabled) {
  TestApp().Start("Velmora.exe");
  TestApp().m_bRealBoxes = true;
  CMainDlg dlg(&TestApp());
  ASSERT_TRUE(dlg.Create());
  TestApp().m_pMainWnd = &dlg;

  std::string text;
  HWND owner = nullptr;
  bool ownerEnabled = true;
  CActivationHook hook(kTitle, [&](HWND box) {
    if (box == dlg.m_hWnd) return;
    char buffer[256] = "";
    GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer);
    text = buffer;
    owner = GetWindow(box, GW_OWNER);
    ownerEnabled = IsWindowEnabled(dlg) != FALSE;
    PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(IDCANCEL, AfxMessageBox("Please check.", MB_OKCANCEL));
  EXPECT_EQ("Please check.", text);
  EXPECT_EQ(dlg.m_hWnd, owner);
  EXPECT_FALSE(ownerEnabled);
  EXPECT_TRUE(IsWindowEnabled(dlg));
  TestApp().m_pMainWnd = nullptr;
}

TEST(ModuleFolder, IsTheDriveAndFolderWithAFinalSeparator) {
  struct Case {
    const char* path;
    const char* folder;
  } cases[] = {
      {"C:\\Program Files\\Orvane Zenvero\\Velmora.exe", "C:\\Program Files\\Orvane Zenvero\\"},
      {"D:\\Velmora.exe", "D:\\"},
      {"\\\\server\\share\\tools\\Velmora.exe", "\\\\server\\share\\tools\\"},
      {"C:/tools/Velmora.exe", "C:/tools/"},
      {"C:Velmora.exe", "C:\\"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.folder, FolderOfPath(c.path)) << c.path;

  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string own(path, length);
  EXPECT_EQ(own, GetModulePath());
  EXPECT_EQ(own.substr(0, own.find_last_of('\\') + 1), GetModuleFolder());
}

// Runs only in a copy of this program started by the next test, which says
// how long the copy's path is.
TEST(ModulePath, InACopyWithALongPath) {
  char length[8] = "";
  if (GetEnvironmentVariableA("VELMORA_MODULE_PATH_LENGTH", length, sizeof length) == 0) {
    GTEST_SKIP() << "runs inside ModulePath.OfExactly259CharactersIsEmpty";
  }
  if (std::string(length) == "259") {
    EXPECT_EQ("", GetModulePath());
    EXPECT_EQ("", GetModuleFolder());
  } else {
    EXPECT_EQ(std::stoul(length), GetModulePath().size());
    EXPECT_EQ('\\', GetModuleFolder().back());
  }
}

TEST(ModulePath, OfExactly259CharactersIsEmpty) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string folder = std::string(temp) + "velmora-long";
  CreateDirectoryA(folder.c_str(), nullptr);
  folder += "\\" + std::string(100, 'd');
  CreateDirectoryA(folder.c_str(), nullptr);
  folder += "\\" + std::string(230 - folder.size(), 'e');
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);

  for (size_t total : {259u, 258u}) {
    std::string path = folder + "\\";
    path += std::string(total - path.size() - 4, 'x') + ".exe";
    ASSERT_EQ(total, path.size());
    ASSERT_TRUE(CopyFileA(self, path.c_str(), FALSE)) << GetLastError();

    SetEnvironmentVariableA("VELMORA_MODULE_PATH_LENGTH", std::to_string(total).c_str());
    std::string command = "\"" + path + "\" --gtest_filter=ModulePath.InACopyWithALongPath";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &info);
    SetEnvironmentVariableA("VELMORA_MODULE_PATH_LENGTH", nullptr);
    ASSERT_TRUE(started) << GetLastError();
    CProcessInformation process(info);
    WaitForSingleObject(process.Process(), INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.Process(), &code);
    process.Close();
    EXPECT_EQ(0u, code) << "the copy with a path of " << total << " characters failed";
    DeleteFileA(path.c_str());
  }
  for (int level = 0; level < 3; ++level) {
    RemoveDirectoryA(folder.c_str());
    folder.erase(folder.find_last_of('\\'));
  }
}

TEST(RunCommandLine, StartsAProgramWithoutWaitingAndFailsForAMissingOne) {
  EXPECT_FALSE(RunCommandLine("\"C:\\no such folder\\nothing.exe\" /x"));
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  std::string command = "\"" + std::string(system) + "\\cmd.exe\" /c exit 0";
  EXPECT_TRUE(RunCommandLine(command.c_str(), system));
}

}  // namespace
