#include "tests/e2e/clipboard_text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>

void PutUnicodeText(const std::wstring& text) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  const size_t size = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size);
  std::memcpy(GlobalLock(memory), text.c_str(), size);
  GlobalUnlock(memory);
  EXPECT_NE(nullptr, SetClipboardData(CF_UNICODETEXT, memory));
  CloseClipboard();
}

std::wstring UnicodeClipboard() {
  std::wstring text = L"<none>";
  if (!OpenClipboard(nullptr)) return L"<busy>";
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const wchar_t* p = static_cast<const wchar_t*>(GlobalLock(data))) {
      text.assign(p, wcsnlen(p, GlobalSize(data) / sizeof(wchar_t)));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}
