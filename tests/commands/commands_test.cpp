#include "tests/commands/commands_test.h"

#include <algorithm>

#include "app_base/settings.h"
#include "framework/handle.h"
#include "framework/combo_box.h"

void CommandTest::SetUp() {
  ClearSettings();
  TestApp().Start("Velmora.exe");
  ASSERT_TRUE(m_Dlg.Create());
  TestApp().m_pMainWnd = &m_Dlg;
  SetActiveWindow(m_Dlg);
  PumpMessages();
}

void CommandTest::TearDown() {
  if (IsOpen()) ::DestroyWindow(m_Dlg.m_hWnd);
  TestApp().m_pMainWnd = nullptr;
  ClearSettings();
}

std::string CommandTest::Text(int id) const {
  CWnd box(GetDlgItem(m_Dlg, id));
  return box.GetWindowText();
}

bool CommandTest::HasFocus(int id) const {
  HWND focus = GetFocus();
  HWND box = GetDlgItem(m_Dlg, id);
  return focus != nullptr && (focus == box || IsChild(box, focus));
}

std::vector<std::string> CommandTest::List(int id) const {
  std::vector<std::string> items;
  CComboBox box(GetDlgItem(m_Dlg, id));
  for (int i = 0; i < box.GetCount(); ++i) items.push_back(box.GetLBText(i));
  return items;
}

std::string Content(const std::string& path) {
  std::string data;
  return ReadWholeFile(path, &data) ? data : "<unreadable>";
}

std::string SmallDisk() {
  std::string path = "Z:" + std::string(VELMORA_SMALL_DISK);
  std::replace(path.begin(), path.end(), '/', '\\');
  if (GetFileAttributesA((path + "\\mounted").c_str()) == INVALID_FILE_ATTRIBUTES) return {};
  return path + "\\mnt";
}

bool MakeHidden(const std::string& path) {
  return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN) &&
         (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN) != 0;
}

std::wstring Wide(const std::string& utf8) {
  const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                                       nullptr, 0);
  std::wstring wide(size, L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), &wide[0], size);
  return wide;
}

std::string ContentOf(const std::wstring& path) {
  CHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) return "<unreadable>";
  std::string data(GetFileSize(file.Get(), nullptr), '\0');
  DWORD read = 0;
  if (!data.empty() && !ReadFile(file.Get(), &data[0], static_cast<DWORD>(data.size()), &read, nullptr))
    return "<unreadable>";
  data.resize(read);
  return data;
}

bool WriteFileNamed(const std::wstring& path, const std::string& data) {
  CHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  return file.Get() != INVALID_HANDLE_VALUE &&
         WriteFile(file.Get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
         written == data.size();
}

std::wstring HistoryValue(const char* name) {
  const std::wstring key = Wide("Software\\" + GetProfileRegistryKey() + "\\" + GetProfileName() + "\\Settings");
  wchar_t value[1024] = {};
  DWORD size = sizeof value - sizeof(wchar_t);
  DWORD type = 0;
  HKEY settings = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &settings) != ERROR_SUCCESS) return L"<no key>";
  const LONG result =
      RegQueryValueExW(settings, Wide(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(settings);
  return result == ERROR_SUCCESS && type == REG_SZ ? std::wstring(value) : L"<no value>";
}
