#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// The client area of a window as it is on the screen, 0x00RRGGBB per pixel,
// row by row from the top.
struct CClientCapture {
  int width = 0;
  int height = 0;
  std::vector<DWORD> pixels;
  DWORD At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
CClientCapture CaptureClient(HWND hwnd);

// Runs `action` once, from inside whatever modal loop runs, as soon as a
// visible top-level window of this thread has the caption `caption`.
class CWhenShown {
 public:
  CWhenShown(const char* caption, std::function<void(HWND)> action);
  ~CWhenShown();
  CWhenShown(const CWhenShown&) = delete;
  CWhenShown& operator=(const CWhenShown&) = delete;
  bool m_bDone = false;

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
  std::string m_strCaption;
  std::function<void(HWND)> m_action;
  UINT_PTR m_nTimer;
};

// Milliseconds since `start` (GetTickCount).
inline DWORD Since(DWORD start) { return GetTickCount() - start; }
