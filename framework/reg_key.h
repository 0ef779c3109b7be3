#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Owns one open registry key and closes it exactly once. The predefined root
// keys (HKEY_CURRENT_USER...) are never closed: they belong to the system, so
// CRegKey(HKEY_LOCAL_MACHINE) serves as a parent too. Every registry call of
// the program goes through this class; the results are the system's error
// codes (ERROR_SUCCESS on success).
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
  LONG Close();

  // Opens an existing subkey of parent. The key held before is closed first,
  // so parent must not be this object itself.
  LONG Open(HKEY parent, const char* subkey, REGSAM access);
  // Opens a subkey of parent, creating it when missing (no class, options 0).
  LONG Create(HKEY parent, const char* subkey, REGSAM access, DWORD* disposition = nullptr);

  // A value's type and bytes, however long (it is read again if it grows
  // between the size query and the read).
  LONG QueryValue(const char* name, DWORD& type, std::vector<char>& data) const;
  // A REG_SZ value's text up to its first zero (a value stored without one
  // is taken whole), as the framework's text (framework/wide.h: read in
  // UTF-16 where the framework uses the W calls); ERROR_INVALID_DATA for
  // another type.
  LONG QueryStringValue(const char* name, std::string& text) const;
  // A REG_MULTI_SZ value's strings in the order stored, empty ones included,
  // as the framework's text (read in UTF-16 where the framework uses the W
  // calls); ERROR_INVALID_DATA for another type.
  LONG QueryMultiStringValue(const char* name, std::vector<std::string>& strings) const;
  // A REG_DWORD value of exactly four bytes; ERROR_INVALID_DATA otherwise.
  LONG QueryDWORDValue(const char* name, DWORD& value) const;
  // Stores the framework's text as REG_SZ (in UTF-16 where the framework
  // uses the W calls); the stored size counts the terminating zero.
  LONG SetStringValue(const char* name, const char* text) const;
  LONG SetDWORDValue(const char* name, DWORD value) const;
  LONG DeleteValue(const char* name) const;
  // Deletes parent's subkey `name`, which must have no subkeys of its own.
  static LONG DeleteSubKey(HKEY parent, const char* name);

  // How many subkeys the key has and the longest subkey name (characters,
  // without the zero); either may be null.
  LONG QueryInfo(DWORD* subkeyCount, DWORD* maxSubkeyLength = nullptr) const;
  // The name of subkey number index, however long; ERROR_NO_MORE_ITEMS past
  // the last.
  LONG EnumKey(DWORD index, std::string& name) const;
  // The name, type and bytes of value number index; ERROR_NO_MORE_ITEMS past
  // the last.
  LONG EnumValue(DWORD index, std::string& name, DWORD& type, std::vector<char>& data) const;

  static bool IsPredefined(HKEY key) {
    // The predefined handles are 0x80000000 to 0x800000FF taken as a signed
    // LONG (so sign-extended in 64-bit programs).
    const LONG_PTR value = reinterpret_cast<LONG_PTR>(key);
    return value >= static_cast<LONG>(0x80000000u) && value <= static_cast<LONG>(0x800000FFu);
  }

 private:
  // A value through the W call, `data` sized to what is stored (in UTF-16
  // units), grown until the value fits.
  LONG QueryWideValue(const char* name, DWORD& type, std::vector<wchar_t>& data) const;

  HKEY m_hKey = nullptr;
};

// Registry value functions on any root key (HKEY_LOCAL_MACHINE...).

// Reads a REG_SZ value into buffer (bufferSize bytes, zero included). Fails when
// the key or value is missing, the text does not fit, or the value has another
// type (last error ERROR_INVALID_DATA). The buffer is unchanged unless it succeeded.
bool ReadRegistryString(HKEY root, const char* subkey, const char* valueName, char* buffer,
                        DWORD bufferSize);
// The value's text when it is a REG_SZ of at most 512 bytes (zero included),
// else defaultText.
std::string GetRegistryString(HKEY root, const char* subkey, const char* valueName,
                              const char* defaultText);
// Stores text as REG_SZ under an existing key; never creates the key.
bool WriteRegistryString(HKEY root, const char* subkey, const char* valueName, const char* text);
// Creates the key (or opens it if it exists) with full access; true if it exists afterwards.
bool EnsureRegistryKey(HKEY root, const char* subkey);
// True only if the value was there and is now deleted.
bool DeleteRegistryValue(HKEY root, const char* subkey, const char* valueName);
// True when the key can be opened for reading.
bool RegistryKeyExists(HKEY root, const char* subkey);
