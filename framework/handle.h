#pragma once
#include <windows.h>

#include <string>
#include <utility>

#include "framework/wide.h"

// Owners of kernel handles, find handles and the handles of a started process;
// each closes what it holds exactly once.

// Owns one kernel handle. Null and INVALID_HANDLE_VALUE both mean none (the
// calls that open handles fail with either), so a failed open can be kept as
// it came and tested with IsValid.
class CHandle {
 public:
  CHandle() = default;
  explicit CHandle(HANDLE handle) : m_hHandle(handle) {}
  ~CHandle() { Close(); }

  CHandle(const CHandle&) = delete;
  CHandle& operator=(const CHandle&) = delete;
  CHandle(CHandle&& other) noexcept : m_hHandle(other.Detach()) {}
  CHandle& operator=(CHandle&& other) noexcept {
    if (this != &other) Attach(other.Detach());
    return *this;
  }

  operator HANDLE() const { return m_hHandle; }
  HANDLE Get() const { return m_hHandle; }
  bool IsValid() const { return m_hHandle != nullptr && m_hHandle != INVALID_HANDLE_VALUE; }

  // Takes ownership of handle, closing the one held before.
  void Attach(HANDLE handle) {
    if (handle != m_hHandle) {
      Close();
      m_hHandle = handle;
    }
  }
  HANDLE Detach() {
    HANDLE handle = m_hHandle;
    m_hHandle = nullptr;
    return handle;
  }
  // For the out parameter of OpenProcessToken and the like; closes the
  // handle held before.
  HANDLE* Receive() {
    Close();
    return &m_hHandle;
  }
  bool Close() {
    const bool closed = !IsValid() || CloseHandle(m_hHandle) != FALSE;
    m_hHandle = nullptr;
    return closed;
  }

 private:
  HANDLE m_hHandle = nullptr;
};

// The entries a FindFirstFileA pattern matches, as a loop
//   for (CFindFile find(pattern); find.IsValid(); find.Next()) use(find.Data());
// or a range
//   for (const WIN32_FIND_DATAA& entry : CFindFile(pattern)) use(entry);
// The search is closed after its last entry, or with the object.
class CFindFile {
 public:
  // Searches with the wide calls where the system has them: the 8-bit ones
  // hand names back through a MAX_PATH-byte buffer, too small for a long
  // name in UTF-8. The pattern and Name() are the framework's text
  // (framework/wide.h), Name() whole; Data() has the rest (its cFileName
  // cut to what fits).
  explicit CFindFile(const char* pattern) {
    if (!IsWindows9x()) {
      const std::wstring widePattern = TextToWide(pattern != nullptr ? pattern : "");
      m_bWide = true;
      m_hFind = FindFirstFileW(widePattern.c_str(), &m_wideData);
      if (m_hFind != INVALID_HANDLE_VALUE) TakeWideEntry();
      return;
    }
    // The Windows 95 family; a pattern its code page cannot hold finds nothing.
    m_bWide = false;
    std::string ansi;
    if (!TextToAnsi(pattern != nullptr ? pattern : "", ansi)) return;
    m_hFind = FindFirstFileA(ansi.c_str(), &m_data);
    if (m_hFind != INVALID_HANDLE_VALUE) m_strName = AnsiToText(m_data.cFileName);
  }
  ~CFindFile() { Close(); }

  CFindFile(const CFindFile&) = delete;
  CFindFile& operator=(const CFindFile&) = delete;
  CFindFile(CFindFile&& other) noexcept
      : m_data(other.m_data), m_wideData(other.m_wideData), m_strName(std::move(other.m_strName)),
        m_bWide(other.m_bWide), m_hFind(other.Detach()) {}
  CFindFile& operator=(CFindFile&& other) noexcept {
    if (this != &other) {
      Close();
      m_data = other.m_data;
      m_wideData = other.m_wideData;
      m_strName = std::move(other.m_strName);
      m_bWide = other.m_bWide;
      m_hFind = other.Detach();
    }
    return *this;
  }

  // True while there is a current entry (false at once when nothing matched;
  // GetLastError then tells why).
  bool IsValid() const { return m_hFind != INVALID_HANDLE_VALUE; }
  const WIN32_FIND_DATAA& Data() const { return m_data; }
  // The current entry's name, whole.
  const std::string& Name() const { return m_strName; }
  // Moves to the next entry; false (and the search closed) after the last.
  bool Next() {
    if (IsValid()) {
      if (m_bWide && FindNextFileW(m_hFind, &m_wideData)) {
        TakeWideEntry();
        return true;
      }
      if (!m_bWide && FindNextFileA(m_hFind, &m_data)) {
        m_strName = AnsiToText(m_data.cFileName);
        return true;
      }
    }
    Close();
    return false;
  }
  void Close() {
    if (IsValid()) FindClose(m_hFind);
    m_hFind = INVALID_HANDLE_VALUE;
  }

  // Over the entries from the current one on; ++ moves the search itself.
  class Iterator {
   public:
    explicit Iterator(CFindFile* find) : m_pFind(find) {}
    const WIN32_FIND_DATAA& operator*() const { return m_pFind->m_data; }
    Iterator& operator++() {
      if (!m_pFind->Next()) m_pFind = nullptr;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return m_pFind != other.m_pFind; }

   private:
    CFindFile* m_pFind;
  };
  Iterator begin() { return Iterator(IsValid() ? this : nullptr); }
  Iterator end() { return Iterator(nullptr); }

 private:
  HANDLE Detach() {
    HANDLE find = m_hFind;
    m_hFind = INVALID_HANDLE_VALUE;
    return find;
  }
  // The wide entry as the 8-bit data and the whole name.
  void TakeWideEntry() {
    m_data.dwFileAttributes = m_wideData.dwFileAttributes;
    m_data.ftCreationTime = m_wideData.ftCreationTime;
    m_data.ftLastAccessTime = m_wideData.ftLastAccessTime;
    m_data.ftLastWriteTime = m_wideData.ftLastWriteTime;
    m_data.nFileSizeHigh = m_wideData.nFileSizeHigh;
    m_data.nFileSizeLow = m_wideData.nFileSizeLow;
    m_data.dwReserved0 = m_wideData.dwReserved0;
    m_data.dwReserved1 = m_wideData.dwReserved1;
    m_strName = WideToText(m_wideData.cFileName);
    lstrcpynA(m_data.cFileName, m_strName.c_str(), MAX_PATH);
    lstrcpynA(m_data.cAlternateFileName, WideToText(m_wideData.cAlternateFileName).c_str(),
              sizeof m_data.cAlternateFileName);
  }

  WIN32_FIND_DATAA m_data = {};
  WIN32_FIND_DATAW m_wideData = {};
  std::string m_strName;
  bool m_bWide = false;
  HANDLE m_hFind = INVALID_HANDLE_VALUE;
};

// The process and thread handles of a started process (what CreateProcessA
// fills in), closed together.
class CProcessInformation {
 public:
  CProcessInformation() = default;
  // Takes over the handles of a process that started.
  explicit CProcessInformation(const PROCESS_INFORMATION& info) : m_info(info) {}
  ~CProcessInformation() { Close(); }

  CProcessInformation(const CProcessInformation&) = delete;
  CProcessInformation& operator=(const CProcessInformation&) = delete;
  CProcessInformation(CProcessInformation&& other) noexcept : m_info(other.Detach()) {}
  CProcessInformation& operator=(CProcessInformation&& other) noexcept {
    if (this != &other) {
      Close();
      m_info = other.Detach();
    }
    return *this;
  }

  HANDLE Process() const { return m_info.hProcess; }
  HANDLE Thread() const { return m_info.hThread; }
  DWORD ProcessId() const { return m_info.dwProcessId; }
  bool IsValid() const { return m_info.hProcess != nullptr; }

  PROCESS_INFORMATION Detach() {
    PROCESS_INFORMATION info = m_info;
    m_info = PROCESS_INFORMATION();
    return info;
  }
  void Close() {
    if (m_info.hThread != nullptr) CloseHandle(m_info.hThread);
    if (m_info.hProcess != nullptr) CloseHandle(m_info.hProcess);
    m_info = PROCESS_INFORMATION();
  }

 private:
  PROCESS_INFORMATION m_info = {};
};
