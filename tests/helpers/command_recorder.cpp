// A stand-in program for tests that start one: it writes its command line, its
// current folder and the show fields of its start-up record ("flags 1 show 5")
// to "recorded.txt" beside itself, one line each; a command line with
// characters beyond ASCII also goes as the system gave it in UTF-16, made
// UTF-8, to "recorded-wide.txt". With
// "--wait" in its command line it then stays running (at most a minute) so
// that a test can try to delete its file while it runs. With "--refuse" it
// instead shows a window captioned "Orvane Zenvero" that refuses to end or to
// close, for a minute or until it gets WM_QUIT: a running copy of the
// program (under the program's name) that will not close.
#include <windows.h>

#include <cstring>
#include <string>

#include "framework/handle.h"

namespace {

LRESULT CALLBACK RefusingProcedure(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_QUERYENDSESSION) return FALSE;
  if (msg == WM_CLOSE) return 0;
  return DefWindowProcA(window, msg, wParam, lParam);
}

void ShowRefusingWindow() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = RefusingProcedure;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "VelmoraTestRefusingCopy";
  RegisterClassA(&wc);
  HWND window = CreateWindowA(wc.lpszClassName, "Orvane Zenvero", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                              nullptr, wc.hInstance, nullptr);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  SetTimer(nullptr, 0, 60000, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0 && msg.message != WM_TIMER) DispatchMessageA(&msg);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  std::string folder(path, length);
  folder.erase(folder.find_last_of('\\') + 1);

  char current[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, current);
  const char* commandLine = GetCommandLineA();
  STARTUPINFOA startup = {};
  GetStartupInfoA(&startup);
  const std::string record = std::string(commandLine) + "\r\n" + current + "\r\n" + "flags " +
                             std::to_string(startup.dwFlags) + " show " +
                             std::to_string(startup.wShowWindow) + "\r\n";

  // The wide record first: a reader waits for the other.
  const wchar_t* wide = GetCommandLineW();
  bool beyondAscii = false;
  for (const wchar_t* c = wide; *c != L'\0'; ++c) beyondAscii = beyondAscii || *c > 0x7F;
  if (beyondAscii) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(bytes > 0 ? bytes - 1 : 0, '\0');
    if (bytes > 1) WideCharToMultiByte(CP_UTF8, 0, wide, -1, &utf8[0], bytes, nullptr, nullptr);
    CHandle wideFile(CreateFileA((folder + "recorded-wide.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD wideWritten = 0;
    if (wideFile.IsValid()) WriteFile(wideFile, utf8.data(), static_cast<DWORD>(utf8.size()), &wideWritten, nullptr);
  }

  // Written under another name and then renamed, so that a reader never sees
  // half a record.
  const std::string temporary = folder + "recorded.tmp";
  CHandle file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return 1;
  DWORD written = 0;
  WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  file.Close();
  if (!MoveFileExA(temporary.c_str(), (folder + "recorded.txt").c_str(), MOVEFILE_REPLACE_EXISTING))
    return 1;

  if (std::strstr(commandLine, "--refuse") != nullptr) ShowRefusingWindow();
  if (std::strstr(commandLine, "--wait") != nullptr) Sleep(60000);
  return 0;
}
