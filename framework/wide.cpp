#include "framework/wide.h"

namespace {

bool g_utf8Text = false;

std::wstring ToWide(UINT codePage, const std::string& text) {
  if (text.empty()) return std::wstring();
  const int units = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (units <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], units);
  return wide;
}

}  // namespace

void UseUtf8Text(bool utf8) { g_utf8Text = utf8; }

bool UsesUtf8Text() { return g_utf8Text; }

bool IsWindows9x() {
  static const bool windows9x = [] {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
  }();
  return windows9x;
}

bool UseWideCalls() { return g_utf8Text && !IsWindows9x(); }

std::wstring Utf8ToWide(const std::string& text) { return ToWide(CP_UTF8, text); }

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                       nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], size, nullptr, nullptr);
  return utf8;
}

std::string WideToUtf8(const wchar_t* text) { return text != nullptr ? WideToUtf8(std::wstring(text)) : std::string(); }

bool WideToCodePage(const std::wstring& text, UINT codePage, std::string& ansi) {
  ansi.clear();
  if (text.empty()) return true;
  const int length = static_cast<int>(text.size());
  // WC_NO_BEST_FIT_CHARS is unknown to Windows 95: there the way back below
  // tells a best fit all the same.
  DWORD flags = WC_NO_BEST_FIT_CHARS;
  int size = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0 && GetLastError() == ERROR_INVALID_FLAGS) {
    flags = 0;
    size = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
  }
  BOOL usedDefault = FALSE;
  std::string converted(size > 0 ? static_cast<size_t>(size) : 0, '\0');
  if (size <= 0 ||
      WideCharToMultiByte(codePage, flags, text.data(), length, &converted[0], size, nullptr, &usedDefault) != size ||
      usedDefault || ToWide(codePage, converted) != text) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return false;
  }
  ansi = std::move(converted);
  return true;
}

bool WideToAnsi(const std::wstring& text, std::string& ansi) { return WideToCodePage(text, CP_ACP, ansi); }

std::wstring AnsiToWide(const std::string& ansi) { return ToWide(CP_ACP, ansi); }

bool TextToAnsi(const std::string& text, std::string& ansi) {
  if (!g_utf8Text) {
    ansi = text;
    return true;
  }
  return WideToAnsi(Utf8ToWide(text), ansi);
}

std::string AnsiToText(const std::string& ansi) { return g_utf8Text ? WideToUtf8(AnsiToWide(ansi)) : ansi; }

namespace {

// The text in the system's code page as the system itself would give it
// (for display only: characters it cannot hold may become others).
std::string WideToAcp(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                       nullptr);
  if (size <= 0) return std::string();
  std::string ansi(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &ansi[0], size, nullptr, nullptr);
  return ansi;
}

}  // namespace

std::string WideToText(const std::wstring& wide) { return g_utf8Text ? WideToUtf8(wide) : WideToAcp(wide); }

std::wstring TextToWide(const std::string& text) { return g_utf8Text ? Utf8ToWide(text) : AnsiToWide(text); }

std::string TextToAnsiForDisplay(const std::string& text) { return g_utf8Text ? WideToAcp(Utf8ToWide(text)) : text; }
