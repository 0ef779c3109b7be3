#include "framework/modal.h"

#include <exception>

namespace {

CModalScope* g_modalTop = nullptr;  // innermost running modal loop
std::exception_ptr g_keptException;

}  // namespace

CModalScope::CModalScope(const HWND& window) : m_hWindow(window), m_pOuter(g_modalTop) {
  g_modalTop = this;
}

CModalScope::~CModalScope() { g_modalTop = m_pOuter; }

void EndInnermostModal() {
  if (g_modalTop != nullptr && g_modalTop->m_hWindow != nullptr) {
    ::EndDialog(g_modalTop->m_hWindow, -1);
  }
}

void AfxKeepException() {
  if (!g_keptException) g_keptException = std::current_exception();
}

void AfxRethrowKeptException() {
  if (!g_keptException) return;
  std::exception_ptr e = g_keptException;
  g_keptException = nullptr;
  std::rethrow_exception(e);
}
