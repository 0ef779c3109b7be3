#pragma once
#include <windows.h>

// Owns one open registry key and closes it exactly once. The predefined root
// keys (HKEY_CURRENT_USER...) are never closed: they belong to the system.
class CRegKey {
 public:
  CRegKey() = default;
  explicit CRegKey(HKEY key) : m_hKey(key) {}
  ~CRegKey() { Close(); }

  CRegKey(const CRegKey&) = delete;
  CRegKey& operator=(const CRegKey&) = delete;
  CRegKey(CRegKey&& other) noexcept : m_hKey(other.Detach()) {}
  CRegKey& operator=(CRegKey&& other) noexcept {
    if (this != &other) Attach(other.Detach());
    return *this;
  }

  operator HKEY() const { return m_hKey; }
  bool IsOpen() const { return m_hKey != nullptr; }

  // Takes ownership of key, closing the one held before.
  void Attach(HKEY key) {
    if (key != m_hKey) {
      Close();
      m_hKey = key;
    }
  }
  HKEY Detach() {
    HKEY key = m_hKey;
    m_hKey = nullptr;
    return key;
  }
  LONG Close() {
    LONG result = ERROR_SUCCESS;
    if (m_hKey != nullptr && !IsPredefined(m_hKey)) result = RegCloseKey(m_hKey);
    m_hKey = nullptr;
    return result;
  }

  // Opens an existing subkey of parent. The key held before is closed first,
  // so parent must not be this object itself.
  LONG Open(HKEY parent, const char* subkey, REGSAM access) {
    Close();
    HKEY key = nullptr;
    LONG result = RegOpenKeyExA(parent, subkey, 0, access, &key);
    if (result == ERROR_SUCCESS) m_hKey = key;
    return result;
  }
  // Opens a subkey of parent, creating it when missing (no class, options 0).
  LONG Create(HKEY parent, const char* subkey, REGSAM access, DWORD* disposition = nullptr) {
    Close();
    HKEY key = nullptr;
    char noClass[] = "";
    LONG result = RegCreateKeyExA(parent, subkey, 0, noClass, REG_OPTION_NON_VOLATILE,
                                  access, nullptr, &key, disposition);
    if (result == ERROR_SUCCESS) m_hKey = key;
    return result;
  }

  static bool IsPredefined(HKEY key) {
    // The predefined handles are 0x80000000 to 0x800000FF taken as a signed
    // LONG (so sign-extended in 64-bit programs).
    const LONG_PTR value = reinterpret_cast<LONG_PTR>(key);
    return value >= static_cast<LONG>(0x80000000u) && value <= static_cast<LONG>(0x800000FFu);
  }

 private:
  HKEY m_hKey = nullptr;
};
