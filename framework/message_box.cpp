#include "framework/message_box.h"

#include <string>

#include "framework/wide.h"

namespace {
CMessageBoxRoutine* g_routine = nullptr;
}  // namespace

CMessageBoxRoutine* SetMessageBoxRoutine(CMessageBoxRoutine* routine) {
  CMessageBoxRoutine* previous = g_routine;
  g_routine = routine;
  return previous;
}

int AfxOwnedMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
  if (g_routine != nullptr) return g_routine->ShowMessageBox(owner, text, caption, type);
  if (UseWideCalls()) {
    return MessageBoxW(owner, text != nullptr ? Utf8ToWide(text).c_str() : nullptr,
                       caption != nullptr ? Utf8ToWide(caption).c_str() : nullptr, type);
  }
  const std::string ansiText = TextToAnsiForDisplay(text != nullptr ? text : "");
  const std::string ansiCaption = TextToAnsiForDisplay(caption != nullptr ? caption : "");
  return MessageBoxA(owner, text != nullptr ? ansiText.c_str() : nullptr,
                     caption != nullptr ? ansiCaption.c_str() : nullptr, type);
}
