#include "framework/file_system.h"

#include <winnetwk.h>

#include <vector>

#include "framework/path.h"
#include "framework/system_library.h"
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
  // No new name (a deletion at the next start) stays no name.
  if (UseWideCalls()) {
    const std::wstring wideTo = to != nullptr ? Utf8ToWide(to) : std::wstring();
    return MoveFileExW(Utf8ToWide(from).c_str(), to != nullptr ? wideTo.c_str() : nullptr, flags);
  }
  std::string ansiFrom, ansiTo;
  if (!Ansi(from, ansiFrom) || (to != nullptr && !Ansi(to, ansiTo))) return FALSE;
  return MoveFileExA(ansiFrom.c_str(), to != nullptr ? ansiTo.c_str() : nullptr, flags);
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

BOOL CreateDirectoryNamed(const char* name, LPSECURITY_ATTRIBUTES security) {
  if (UseWideCalls()) return CreateDirectoryW(Utf8ToWide(name).c_str(), security);
  std::string ansi;
  if (!Ansi(name, ansi)) return FALSE;
  return CreateDirectoryA(ansi.c_str(), security);
}

BOOL RemoveDirectoryNamed(const char* name) {
  if (UseWideCalls()) return RemoveDirectoryW(Utf8ToWide(name).c_str());
  std::string ansi;
  if (!Ansi(name, ansi)) return FALSE;
  return RemoveDirectoryA(ansi.c_str());
}

BOOL WINAPI CopyFileNamed(LPCSTR existing, LPCSTR newName, BOOL failIfExists) {
  if (UseWideCalls()) return CopyFileW(Utf8ToWide(existing).c_str(), Utf8ToWide(newName).c_str(), failIfExists);
  std::string ansiExisting, ansiNew;
  if (!Ansi(existing, ansiExisting) || !Ansi(newName, ansiNew)) return FALSE;
  return CopyFileA(ansiExisting.c_str(), ansiNew.c_str(), failIfExists);
}

BOOL GetFileAttributesExNamed(const char* name, WIN32_FILE_ATTRIBUTE_DATA* data) {
  if (UseWideCalls()) return GetFileAttributesExW(Utf8ToWide(name).c_str(), GetFileExInfoStandard, data);
  std::string ansi;
  if (!Ansi(name, ansi)) return FALSE;
  return GetFileAttributesExA(ansi.c_str(), GetFileExInfoStandard, data);
}

BOOL SetCurrentDirectoryNamed(const char* name) {
  if (UseWideCalls()) return SetCurrentDirectoryW(Utf8ToWide(name).c_str());
  std::string ansi;
  if (!Ansi(name, ansi)) return FALSE;
  return SetCurrentDirectoryA(ansi.c_str());
}

std::string TempFolderPath() {
  if (UseWideCalls()) {
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH) return std::string();
    return WideToUtf8(std::wstring(temp, length));
  }
  char temp[MAX_PATH + 1];
  const DWORD length = GetTempPathA(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH) return std::string();
  return AnsiToText(std::string(temp, length));
}

std::string SystemErrorText(DWORD error, bool trimmed) {
  std::string result;
  if (!IsWindows9x()) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0,
                   nullptr);
    if (text != nullptr) {
      result = WideToText(text);
      LocalFree(text);
    }
  } else {
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0,
                   nullptr);
    if (text != nullptr) {
      result = AnsiToText(text);
      LocalFree(text);
    }
  }
  while (trimmed && !result.empty() && (result.back() == '\r' || result.back() == '\n' || result.back() == ' '))
    result.pop_back();
  return result;
}

bool GetShellFolderPath(int csidl, std::string& path) {
  using GetFolderPathW = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
  using GetFolderPathA = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
  static const HMODULE shell = LoadSystemLibrary("shell32.dll");
  if (shell == nullptr) return false;
  if (UseWideCalls()) {
    auto get = reinterpret_cast<GetFolderPathW>(
        reinterpret_cast<void (*)()>(GetProcAddress(shell, "SHGetFolderPathW")));
    wchar_t folder[MAX_PATH] = {};
    if (get == nullptr || FAILED(get(nullptr, csidl, nullptr, 0, folder)) || folder[0] == L'\0') return false;
    path = WideToUtf8(folder);
    return true;
  }
  auto get =
      reinterpret_cast<GetFolderPathA>(reinterpret_cast<void (*)()>(GetProcAddress(shell, "SHGetFolderPathA")));
  char folder[MAX_PATH] = {};
  if (get == nullptr || FAILED(get(nullptr, csidl, nullptr, 0, folder)) || folder[0] == '\0') return false;
  path = AnsiToText(folder);
  return true;
}

bool GetShortPathNamed(const std::string& path, std::string& shortPath) {
  if (UseWideCalls()) {
    const std::wstring wide = Utf8ToWide(path);
    std::vector<wchar_t> buffer(MAX_PATH);
    DWORD length = GetShortPathNameW(wide.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length >= buffer.size()) {
      buffer.resize(length + 1);
      length = GetShortPathNameW(wide.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    }
    if (length == 0 || length >= buffer.size()) return false;
    shortPath = WideToUtf8(std::wstring(buffer.data(), length));
    return true;
  }
  std::string ansi;
  if (!Ansi(path.c_str(), ansi)) return false;
  char buffer[MAX_PATH];
  const DWORD length = GetShortPathNameA(ansi.c_str(), buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  shortPath = AnsiToText(std::string(buffer, length));
  return true;
}

bool StartProcessNamed(const std::string& commandLine, const char* currentFolder, PROCESS_INFORMATION& info,
                       bool inheritHandles) {
  info = {};
  if (UseWideCalls()) {
    // CreateProcessW may write into its command line: give it a copy.
    std::wstring command = Utf8ToWide(commandLine);
    command.push_back(L'\0');
    const std::wstring folder = currentFolder != nullptr ? Utf8ToWide(currentFolder) : std::wstring();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    return CreateProcessW(nullptr, &command[0], nullptr, nullptr, inheritHandles ? TRUE : FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                          currentFolder != nullptr ? folder.c_str() : nullptr, &startup, &info) != FALSE;
  }
  std::string command, folder;
  if (!TextToAnsi(commandLine, command) || (currentFolder != nullptr && !Ansi(currentFolder, folder))) return false;
  command.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  return CreateProcessA(nullptr, &command[0], nullptr, nullptr, inheritHandles ? TRUE : FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                        currentFolder != nullptr ? folder.c_str() : nullptr, &startup, &info) != FALSE;
}

namespace {

// "C:\" for a path that starts with a drive letter; empty for any other.
std::string DriveRootOf(const std::string& path) {
  if (path.size() < 2 || path[1] != ':' || !((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
    return std::string();
  return path.substr(0, 2) + "\\";
}

}  // namespace

bool IsNetworkPath(const std::string& path) {
  if (path.compare(0, 8, "\\\\?\\UNC\\") == 0) return true;
  if (path.compare(0, 4, "\\\\?\\") == 0 || path.compare(0, 4, "\\\\.\\") == 0)
    return IsNetworkPath(path.substr(4));
  if (path.size() > 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1])) return true;
  const std::string root = DriveRootOf(path);
  if (root.empty()) return false;
  return (UseWideCalls() ? GetDriveTypeW(Utf8ToWide(root).c_str()) : GetDriveTypeA(root.c_str())) == DRIVE_REMOTE;
}

std::string UniversalPath(const std::string& path) {
  const std::string root = DriveRootOf(path);
  if (root.empty() || !IsNetworkPath(root)) return path;
  using GetUniversalNameW = DWORD(WINAPI*)(LPCWSTR, DWORD, LPVOID, LPDWORD);
  static const HMODULE mpr = LoadSystemLibrary("mpr.dll");
  auto get = mpr != nullptr ? reinterpret_cast<GetUniversalNameW>(
                                  reinterpret_cast<void (*)()>(GetProcAddress(mpr, "WNetGetUniversalNameW")))
                            : nullptr;
  if (get == nullptr) return path;
  const std::wstring wide = TextToWide(path);
  std::vector<BYTE> buffer(2048);
  DWORD size = static_cast<DWORD>(buffer.size());
  DWORD result = get(wide.c_str(), UNIVERSAL_NAME_INFO_LEVEL, buffer.data(), &size);
  if (result == ERROR_MORE_DATA) {
    buffer.resize(size);
    result = get(wide.c_str(), UNIVERSAL_NAME_INFO_LEVEL, buffer.data(), &size);
  }
  if (result != NO_ERROR) return path;
  const auto* info = reinterpret_cast<const UNIVERSAL_NAME_INFOW*>(buffer.data());
  return info->lpUniversalName != nullptr ? WideToText(info->lpUniversalName) : path;
}
