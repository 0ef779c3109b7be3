#pragma once
#include <windows.h>

#include <string>

// The text of the framework's 8-bit strings and where it crosses to the
// system.
//
// A program that calls UseUtf8Text() keeps all its text as UTF-8 strings.
// On the NT family the framework then makes its windows Unicode windows and
// hands text to the system in UTF-16 (the W calls); on Windows 95, 98 and Me,
// which have only the 8-bit calls, it converts to the system's code page
// there, and a name that code page cannot hold fails (ERROR_NO_UNICODE_TRANSLATION)
// rather than turn into another name. Until then the strings are in the
// process's code page and go to the 8-bit calls as they are.

// The framework's strings are UTF-8 from now on.
void UseUtf8Text(bool utf8 = true);
bool UsesUtf8Text();

// True on Windows 95, 98 and Me.
bool IsWindows9x();

// True when the framework calls the W functions: UTF-8 text on the NT family.
bool UseWideCalls();

// UTF-8 to UTF-16 and back, never through the process's code page. Invalid
// UTF-8 gives U+FFFD; an unpaired surrogate gives U+FFFD.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
std::string WideToUtf8(const wchar_t* text);

// UTF-16 to the system's 8-bit code page without best-fit mapping: false
// (last error ERROR_NO_UNICODE_TRANSLATION) when a character has no exact
// counterpart there.
bool WideToAnsi(const std::wstring& text, std::string& ansi);
// The same for a given code page (WideToAnsi takes the system's).
bool WideToCodePage(const std::wstring& text, UINT codePage, std::string& ansi);
std::wstring AnsiToWide(const std::string& ansi);

// The framework's text as the 8-bit calls take it: unchanged in the process's
// code page, converted from UTF-8 to the system's code page otherwise; false
// (last error ERROR_NO_UNICODE_TRANSLATION) when that code page cannot hold it.
bool TextToAnsi(const std::string& text, std::string& ansi);
// What an 8-bit call gave, as the framework's text.
std::string AnsiToText(const std::string& ansi);
// The framework's text from UTF-16 and to it (in the process's code page
// while UseUtf8Text is off).
std::string WideToText(const std::wstring& wide);
std::wstring TextToWide(const std::string& text);

// The framework's text for an 8-bit call that only shows it (a window's
// caption, a box): characters the system's code page lacks become its
// default character. Unchanged in the process's code page.
std::string TextToAnsiForDisplay(const std::string& text);
