#include "framework/file_system.h"

#include <vector>

#include "framework/wide.h"

namespace {

// The name for an 8-bit call; false (and the last error set) when the
// system's code page cannot hold it.
bool Ansi(const char* name, std::string& ansi) { return TextToAnsi(name != nullptr ? name : "", ansi); }

using ReplaceFileWProc = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, LPVOID, LPVOID);
using ReplaceFileAProc = BOOL(WINAPI*)(LPCSTR, LPCSTR, LPCSTR, DWORD, LPVOID, LPVOID);

FARPROC KernelProc(const char* name) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  return kernel != nullptr ? GetProcAddress(kernel, name) : nullptr;
}

}  // namespace

HANDLE CreateFileNamed(const char* name, DWORD access, DWORD share, DWORD disposition, DWORD attributes) {
  if (UseWideCalls())
    return CreateFileW(Utf8ToWide(name).c_str(), access, share, nullptr, disposition, attributes, nullptr);
  std::string ansi;
  if (!Ansi(name, ansi)) return INVALID_HANDLE_VALUE;
  return CreateFileA(ansi.c_str(), access, share, nullptr, disposition, attributes, nullptr);
}

DWORD GetFileAttributesNamed(const char* name) {
  if (UseWideCalls()) return GetFileAttributesW(Utf8ToWide(name).c_str());
  std::string ansi;
  if (!Ansi(name, ansi)) return INVALID_FILE_ATTRIBUTES;
  return GetFileAttributesA(ansi.c_str());
}

BOOL SetFileAttributesNamed(const char* name, DWORD attributes) {
  if (UseWideCalls()) return SetFileAttributesW(Utf8ToWide(name).c_str(), attributes);
  std::string ansi;
  if (!Ansi(name, ansi)) return FALSE;
  return SetFileAttributesA(ansi.c_str(), attributes);
}

BOOL DeleteFileNamed(const char* name) {
  if (UseWideCalls()) return DeleteFileW(Utf8ToWide(name).c_str());
  std::string ansi;
  if (!Ansi(name, ansi)) return FALSE;
  return DeleteFileA(ansi.c_str());
}

BOOL WINAPI MoveFileNamed(LPCSTR from, LPCSTR to, DWORD flags) {
  if (UseWideCalls()) return MoveFileExW(Utf8ToWide(from).c_str(), Utf8ToWide(to).c_str(), flags);
  std::string ansiFrom, ansiTo;
  if (!Ansi(from, ansiFrom) || !Ansi(to, ansiTo)) return FALSE;
  return MoveFileExA(ansiFrom.c_str(), ansiTo.c_str(), flags);
}

bool HasReplaceFile() { return KernelProc("ReplaceFileA") != nullptr; }

BOOL WINAPI ReplaceFileNamed(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags, LPVOID exclude,
                             LPVOID reserved) {
  if (UseWideCalls()) {
    auto replace = reinterpret_cast<ReplaceFileWProc>(reinterpret_cast<void (*)()>(KernelProc("ReplaceFileW")));
    if (replace == nullptr) {
      SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
      return FALSE;
    }
    const std::wstring wideBackup = backup != nullptr ? Utf8ToWide(backup) : std::wstring();
    return replace(Utf8ToWide(replaced).c_str(), Utf8ToWide(replacement).c_str(),
                   backup != nullptr ? wideBackup.c_str() : nullptr, flags, exclude, reserved);
  }
  auto replace = reinterpret_cast<ReplaceFileAProc>(reinterpret_cast<void (*)()>(KernelProc("ReplaceFileA")));
  if (replace == nullptr) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  std::string ansiReplaced, ansiReplacement, ansiBackup;
  if (!Ansi(replaced, ansiReplaced) || !Ansi(replacement, ansiReplacement) ||
      (backup != nullptr && !Ansi(backup, ansiBackup)))
    return FALSE;
  return replace(ansiReplaced.c_str(), ansiReplacement.c_str(), backup != nullptr ? ansiBackup.c_str() : nullptr,
                 flags, exclude, reserved);
}

bool HasCreateHardLink() { return KernelProc("CreateHardLinkA") != nullptr; }

BOOL WINAPI CreateHardLinkNamed(LPCSTR link, LPCSTR existing, LPSECURITY_ATTRIBUTES security) {
  using CreateHardLinkWProc = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, LPSECURITY_ATTRIBUTES);
  using CreateHardLinkAProc = BOOL(WINAPI*)(LPCSTR, LPCSTR, LPSECURITY_ATTRIBUTES);
  if (UseWideCalls()) {
    auto create =
        reinterpret_cast<CreateHardLinkWProc>(reinterpret_cast<void (*)()>(KernelProc("CreateHardLinkW")));
    if (create == nullptr) {
      SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
      return FALSE;
    }
    return create(Utf8ToWide(link).c_str(), Utf8ToWide(existing).c_str(), security);
  }
  auto create = reinterpret_cast<CreateHardLinkAProc>(reinterpret_cast<void (*)()>(KernelProc("CreateHardLinkA")));
  if (create == nullptr) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  std::string ansiLink, ansiExisting;
  if (!Ansi(link, ansiLink) || !Ansi(existing, ansiExisting)) return FALSE;
  return create(ansiLink.c_str(), ansiExisting.c_str(), security);
}

bool GetVolumeFlagsNamed(const char* root, DWORD& flags) {
  if (UseWideCalls())
    return GetVolumeInformationW(Utf8ToWide(root).c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) != FALSE;
  std::string ansi;
  if (!Ansi(root, ansi)) return false;
  return GetVolumeInformationA(ansi.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) != FALSE;
}

bool GetFullPathNamed(const std::string& name, std::string& full, size_t* namePart) {
  if (UseWideCalls()) {
    const std::wstring wide = Utf8ToWide(name);
    std::vector<wchar_t> buffer(MAX_PATH);
    wchar_t* part = nullptr;
    DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), &part);
    if (length >= buffer.size()) {
      buffer.resize(length + 1);
      length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), &part);
    }
    if (length == 0 || length >= buffer.size()) return false;
    full = WideToUtf8(std::wstring(buffer.data(), length));
    if (namePart != nullptr)
      *namePart = part != nullptr ? WideToUtf8(std::wstring(buffer.data(), part)).size() : std::string::npos;
    return true;
  }
  std::string ansi;
  if (!TextToAnsi(name, ansi)) return false;
  std::vector<char> buffer(MAX_PATH);
  char* part = nullptr;
  DWORD length = GetFullPathNameA(ansi.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), &part);
  if (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = GetFullPathNameA(ansi.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), &part);
  }
  if (length == 0 || length >= buffer.size()) return false;
  full = AnsiToText(std::string(buffer.data(), length));
  if (namePart != nullptr)
    *namePart = part != nullptr ? AnsiToText(std::string(buffer.data(), part)).size() : std::string::npos;
  return true;
}

std::string ModuleFilePath() {
  if (UseWideCalls()) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    // 259 or more may be cut short: no path is better than a wrong one.
    if (length == 0 || length >= MAX_PATH - 1) return std::string();
    return WideToUtf8(std::wstring(path, length));
  }
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH - 1) return std::string();
  return AnsiToText(std::string(path, length));
}
