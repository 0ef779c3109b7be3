#include "framework/message_box.h"

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
  return MessageBoxA(owner, text, caption, type);
}
