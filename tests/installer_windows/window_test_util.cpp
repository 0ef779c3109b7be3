#include "tests/installer_windows/window_test_util.h"

#include <cstring>

namespace {
CWhenShown* g_whenShown = nullptr;

struct FindData {
  const std::string* caption;
  HWND found;
};

BOOL CALLBACK FindVisible(HWND hwnd, LPARAM lParam) {
  auto* data = reinterpret_cast<FindData*>(lParam);
  char text[256] = "";
  GetWindowTextA(hwnd, text, sizeof text);
  if (IsWindowVisible(hwnd) && *data->caption == text) {
    data->found = hwnd;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

CClientCapture CaptureClient(HWND hwnd) {
  CClientCapture capture;
  RECT client;
  GetClientRect(hwnd, &client);
  capture.width = client.right;
  capture.height = client.bottom;
  if (capture.width <= 0 || capture.height <= 0) return capture;

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = capture.width;
  info.bmiHeader.biHeight = -capture.height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC windowDC = GetDC(hwnd);
  HDC memoryDC = CreateCompatibleDC(windowDC);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memoryDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memoryDC, bitmap);
  BitBlt(memoryDC, 0, 0, capture.width, capture.height, windowDC, 0, 0, SRCCOPY);
  GdiFlush();
  capture.pixels.resize(static_cast<std::size_t>(capture.width) * capture.height);
  std::memcpy(capture.pixels.data(), bits, capture.pixels.size() * sizeof(DWORD));
  for (DWORD& pixel : capture.pixels) pixel &= 0x00FFFFFF;
  SelectObject(memoryDC, old);
  DeleteObject(bitmap);
  DeleteDC(memoryDC);
  ReleaseDC(hwnd, windowDC);
  return capture;
}

CWhenShown::CWhenShown(const char* caption, std::function<void(HWND)> action)
    : m_strCaption(caption), m_action(std::move(action)) {
  g_whenShown = this;
  m_nTimer = SetTimer(nullptr, 0, 20, OnTimer);
}

CWhenShown::~CWhenShown() {
  KillTimer(nullptr, m_nTimer);
  g_whenShown = nullptr;
}

void CALLBACK CWhenShown::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  CWhenShown* self = g_whenShown;
  if (self == nullptr || self->m_bDone) return;
  FindData data = {&self->m_strCaption, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindVisible, reinterpret_cast<LPARAM>(&data));
  if (data.found == nullptr) return;
  self->m_bDone = true;
  self->m_action(data.found);
}
