#pragma once
#include <windows.h>

// The clipboard held open for a window while the object lives.
class CClipboard {
 public:
  explicit CClipboard(HWND owner) : m_bOpen(OpenClipboard(owner) != FALSE) {}
  // Asks up to `tries` times, `pause` ms apart, while another program holds
  // the clipboard.
  CClipboard(HWND owner, int tries, DWORD pause) : m_bOpen(false) {
    for (int attempt = 0; attempt < tries && !m_bOpen; ++attempt) {
      if (attempt > 0) Sleep(pause);
      m_bOpen = OpenClipboard(owner) != FALSE;
    }
  }
  ~CClipboard() { Close(); }
  CClipboard(const CClipboard&) = delete;
  CClipboard& operator=(const CClipboard&) = delete;
  CClipboard(CClipboard&& other) noexcept : m_bOpen(other.m_bOpen) { other.m_bOpen = false; }
  CClipboard& operator=(CClipboard&& other) noexcept {
    if (this != &other) {
      Close();
      m_bOpen = other.m_bOpen;
      other.m_bOpen = false;
    }
    return *this;
  }

  bool IsOpen() const { return m_bOpen; }
  void Close() {
    if (m_bOpen) CloseClipboard();
    m_bOpen = false;
  }

 private:
  bool m_bOpen;
};

// A global memory block owned by the program until Release hands it on (to
// SetClipboardData); freed with the object otherwise.
class CGlobalMemory {
 public:
  CGlobalMemory(UINT flags, SIZE_T size) : m_hMemory(GlobalAlloc(flags, size)) {}
  // Takes over a block allocated elsewhere (null for none).
  explicit CGlobalMemory(HGLOBAL memory) : m_hMemory(memory) {}
  ~CGlobalMemory() { Free(); }
  CGlobalMemory(const CGlobalMemory&) = delete;
  CGlobalMemory& operator=(const CGlobalMemory&) = delete;
  CGlobalMemory(CGlobalMemory&& other) noexcept : m_hMemory(other.Release()) {}
  CGlobalMemory& operator=(CGlobalMemory&& other) noexcept {
    if (this != &other) {
      Free();
      m_hMemory = other.Release();
    }
    return *this;
  }

  HGLOBAL Get() const { return m_hMemory; }
  HGLOBAL Release() {
    HGLOBAL memory = m_hMemory;
    m_hMemory = nullptr;
    return memory;
  }
  void Free() {
    if (m_hMemory != nullptr) GlobalFree(m_hMemory);
    m_hMemory = nullptr;
  }

 private:
  HGLOBAL m_hMemory;
};

// A lock on a global memory block, undone with the object or by Unlock.
class CGlobalLock {
 public:
  explicit CGlobalLock(HGLOBAL memory)
      : m_hMemory(memory), m_pData(memory != nullptr ? GlobalLock(memory) : nullptr) {}
  ~CGlobalLock() { Unlock(); }
  CGlobalLock(const CGlobalLock&) = delete;
  CGlobalLock& operator=(const CGlobalLock&) = delete;
  CGlobalLock(CGlobalLock&& other) noexcept : m_hMemory(other.m_hMemory), m_pData(other.m_pData) {
    other.m_pData = nullptr;
  }
  CGlobalLock& operator=(CGlobalLock&& other) noexcept {
    if (this != &other) {
      Unlock();
      m_hMemory = other.m_hMemory;
      m_pData = other.m_pData;
      other.m_pData = nullptr;
    }
    return *this;
  }

  void* Get() const { return m_pData; }
  void Unlock() {
    if (m_pData != nullptr) GlobalUnlock(m_hMemory);
    m_pData = nullptr;
  }

 private:
  HGLOBAL m_hMemory;
  void* m_pData;
};
