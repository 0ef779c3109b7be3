#include "tests/commands/commands_test.h"

#include "app/settings.h"
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

bool MakeHidden(const std::string& path) {
  return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN) &&
         (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN) != 0;
}
