#pragma once
// The clipboard's Unicode text, as another program of any language puts it
// there and reads it back.
#include <string>

// Puts `text` on the clipboard as CF_UNICODETEXT (a failed assertion when the
// clipboard cannot be opened).
void PutUnicodeText(const std::wstring& text);
// The clipboard's CF_UNICODETEXT; "<none>" without it, "<busy>" when the
// clipboard cannot be opened.
std::wstring UnicodeClipboard();
