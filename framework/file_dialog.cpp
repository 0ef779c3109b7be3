#include "framework/file_dialog.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/wide.h"

CFileDialog::CFileDialog(bool openFileDialog, const char* defaultExt, const char* fileName,
                         DWORD flags, const char* filter, HWND parent)
    : CDialog(0, parent), m_ofn(), m_bOpenFileDialog(openFileDialog), m_szFileName() {
  if (filter != nullptr) {
    m_strFilter = filter;
    for (char& c : m_strFilter) {
      if (c == '|') c = '\0';
    }
    m_strFilter.push_back('\0');
  }
  if (defaultExt != nullptr) m_strDefExt = defaultExt;
  if (fileName != nullptr) {
    // The buffer holds the longest path with its final zero: cut to fit.
    std::strncpy(m_szFileName, fileName, kPathBufferBytes - 1);
    m_szFileName[kPathBufferBytes - 1] = '\0';
  }
  m_ofn.lStructSize = sizeof m_ofn;
  m_ofn.Flags = flags | OFN_EXPLORER;
  m_ofn.hwndOwner = parent;
  m_ofn.hInstance = GetModuleHandleA(nullptr);
  m_ofn.lpstrFilter = m_strFilter.empty() ? nullptr : m_strFilter.c_str();
  m_ofn.lpstrDefExt = m_strDefExt.c_str();
  m_ofn.lpstrFile = m_szFileName;
  m_ofn.nMaxFile = kPathBufferBytes;
}

void CFileDialog::SetTitle(const char* title) {
  m_strTitle = title != nullptr ? title : "";
  m_ofn.lpstrTitle = m_strTitle.empty() ? nullptr : m_strTitle.c_str();
}

INT_PTR CFileDialog::DoModal() {
  if ((m_ofn.Flags & OFN_ENABLETEMPLATE) != 0) {
    m_ofn.Flags |= OFN_ENABLEHOOK;
    m_ofn.lpfnHook = HookProc;
    m_ofn.lCustData = reinterpret_cast<LPARAM>(this);
    if (m_ofn.lpTemplateName != nullptr && IS_INTRESOURCE(m_ofn.lpTemplateName)) {
      m_nIDHelp = static_cast<UINT>(reinterpret_cast<UINT_PTR>(m_ofn.lpTemplateName));
    }
  }

  const BOOL chosen = UseWideCalls() ? RunWide() : RunModal([&] {
    return m_bOpenFileDialog ? GetOpenFileNameA(&m_ofn) : GetSaveFileNameA(&m_ofn);
  });
  m_nModalResult = chosen ? IDOK : IDCANCEL;
  return m_nModalResult;
}

BOOL CFileDialog::RunWide() {
  // The same request in UTF-16: the names shown and chosen keep every
  // character.
  auto wideOf = [](const char* text) { return Utf8ToWide(text != nullptr ? text : ""); };
  std::wstring filter;
  if (m_ofn.lpstrFilter != nullptr) {
    const char* end = m_ofn.lpstrFilter;
    while (*end != '\0') end += std::strlen(end) + 1;
    filter = Utf8ToWide(std::string(m_ofn.lpstrFilter, end + 1));
  }
  const std::wstring defaultExt = wideOf(m_ofn.lpstrDefExt);
  const std::wstring title = wideOf(m_ofn.lpstrTitle);
  const std::wstring initialDir = wideOf(m_ofn.lpstrInitialDir);
  std::vector<wchar_t> file(MAX_PATH * 4, L'\0');
  const std::wstring name = Utf8ToWide(m_szFileName);
  name.copy(file.data(), std::min(name.size(), file.size() - 1));

  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = m_ofn.hwndOwner;
  ofn.hInstance = m_ofn.hInstance;
  ofn.lpstrFilter = m_ofn.lpstrFilter != nullptr ? filter.c_str() : nullptr;
  ofn.nFilterIndex = m_ofn.nFilterIndex;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = m_ofn.lpstrInitialDir != nullptr ? initialDir.c_str() : nullptr;
  ofn.lpstrTitle = m_ofn.lpstrTitle != nullptr ? title.c_str() : nullptr;
  ofn.Flags = m_ofn.Flags;
  ofn.lpstrDefExt = m_ofn.lpstrDefExt != nullptr ? defaultExt.c_str() : nullptr;
  ofn.lCustData = m_ofn.lCustData;
  ofn.lpfnHook = m_ofn.lpfnHook;
  // Only a numbered template is used here.
  ofn.lpTemplateName = reinterpret_cast<LPCWSTR>(m_ofn.lpTemplateName);

  const BOOL chosen = RunModal([&] { return m_bOpenFileDialog ? GetOpenFileNameW(&ofn) : GetSaveFileNameW(&ofn); });
  m_ofn.Flags = ofn.Flags;
  m_ofn.nFilterIndex = ofn.nFilterIndex;
  if (chosen) {
    const std::string chosenName = WideToUtf8(file.data());
    std::strncpy(m_szFileName, chosenName.c_str(), kPathBufferBytes - 1);
    m_szFileName[kPathBufferBytes - 1] = '\0';
  }
  return chosen;
}

void CFileDialog::TakeException(HWND hwnd) {
  AfxKeepException();
  ::PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
}

UINT_PTR CALLBACK CFileDialog::HookProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  CDialog* arriving = nullptr;
  if (msg == WM_INITDIALOG) {
    auto* ofn = reinterpret_cast<OPENFILENAMEA*>(lParam);
    arriving = reinterpret_cast<CFileDialog*>(ofn->lCustData);
  }
  return DispatchDialogMessage(arriving, hwnd, msg, wParam, lParam);
}
