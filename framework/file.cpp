#include "framework/file.h"

#include <utility>

#include "framework/file_system.h"

CFileException::CFileException(Cause cause, LONG osError, std::string fileName)
    : m_cause(cause), m_lOsError(osError), m_strFileName(std::move(fileName)) {}

CFileException::Cause CFileException::OsErrorToCause(LONG osError) {
  switch (osError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_INVALID_HANDLE:
    case ERROR_NO_MORE_FILES:
      return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      return badPath;
    case ERROR_TOO_MANY_OPEN_FILES:
      return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_INVALID_ACCESS:
    case ERROR_WRITE_PROTECT:
      return accessDenied;
    case ERROR_BAD_FORMAT:
      return invalidFile;
    case ERROR_CURRENT_DIRECTORY:
      return removeCurrentDir;
    case 62:  // the code that old systems gave for a full root directory
      return directoryFull;
    case ERROR_SEEK:
      return badSeek;
    case ERROR_NOT_READY:
    case ERROR_CRC:
      return hardIO;
    case ERROR_SHARING_VIOLATION:
      return sharingViolation;
    case ERROR_LOCK_VIOLATION:
      return lockViolation;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
      return diskFull;
    case ERROR_HANDLE_EOF:
      return endOfFile;
    default:
      return genericException;
  }
}

void CFileException::ThrowOsError(LONG osError, const std::string& fileName) {
  throw CFileException(OsErrorToCause(osError), osError, fileName);
}

std::string CFileException::GetErrorMessage() const {
  // One text per cause, in the order of the Cause enumeration.
  static const char* const kTexts[] = {
      "An unknown error occurred while accessing %1.",  // none
      "An unknown error occurred while accessing %1.",  // genericException
      "%1 was not found.",
      "%1 contains an invalid path.",
      "%1 could not be opened because there are too many open files.",
      "Access to %1 was denied.",
      "An invalid file handle was associated with %1.",
      "%1 could not be removed because it is the current directory.",
      "%1 could not be created because the directory is full.",
      "Seek failed on %1",
      "A hardware I/O error was reported while accessing %1.",
      "A sharing violation occurred while accessing %1.",
      "A locking violation occurred while accessing %1.",
      "Disk full while accessing %1.",
      "An attempt was made to access %1 past its end.",
  };
  static_assert(sizeof kTexts / sizeof kTexts[0] == endOfFile + 1, "one text per cause");
  const char* text = m_cause >= none && m_cause <= endOfFile ? kTexts[m_cause] : kTexts[genericException];
  const std::string name = m_strFileName.empty() ? "an unnamed file" : m_strFileName;
  std::string message = text;
  const size_t at = message.find("%1");
  message.replace(at, 2, name);
  if (message.size() > 255) message.resize(255);
  return message;
}

CFile::CFile(CFile&& other) noexcept
    : m_hFile(std::exchange(other.m_hFile, INVALID_HANDLE_VALUE)),
      m_strFileName(std::move(other.m_strFileName)),
      m_strFilePath(std::move(other.m_strFilePath)) {}

CFile& CFile::operator=(CFile&& other) noexcept {
  if (this != &other) {
    Abort();
    m_hFile = std::exchange(other.m_hFile, INVALID_HANDLE_VALUE);
    m_strFileName = std::move(other.m_strFileName);
    m_strFilePath = std::move(other.m_strFilePath);
  }
  return *this;
}

bool CFile::Open(const char* fileName, UINT openFlags, CFileException* error) {
  Abort();
  DWORD access = GENERIC_READ;
  switch (openFlags & 3) {
    case modeWrite: access = GENERIC_WRITE; break;
    case modeReadWrite: access = GENERIC_READ | GENERIC_WRITE; break;
  }
  DWORD share = 0;
  switch (openFlags & 0x70) {
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    case shareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
  }
  DWORD disposition = OPEN_EXISTING;
  if (openFlags & modeCreate)
    disposition = (openFlags & modeCreateNew) ? CREATE_NEW : (openFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;

  HANDLE handle = CreateFileNamed(fileName, access, share, disposition, FILE_ATTRIBUTE_NORMAL);
  if (handle == INVALID_HANDLE_VALUE) {
    const LONG osError = static_cast<LONG>(GetLastError());
    if (error != nullptr) *error = CFileException(CFileException::OsErrorToCause(osError), osError, fileName);
    return false;
  }
  m_hFile = handle;
  m_strFileName = fileName;
  std::string path;
  m_strFilePath = GetFullPathNamed(fileName, path) && path.size() < MAX_PATH ? path : fileName;
  return true;
}

void CFile::Open(const char* fileName, UINT openFlags) {
  CFileException error;
  if (!Open(fileName, openFlags, &error)) throw error;
}

DWORD CFile::Read(void* buffer, DWORD count) {
  DWORD got = 0;
  if (!ReadFile(m_hFile, buffer, count, &got, nullptr)) CFileException::ThrowOsError(static_cast<LONG>(GetLastError()));
  return got;
}

void CFile::Write(const void* buffer, DWORD count) {
  DWORD written = 0;
  if (!WriteFile(m_hFile, buffer, count, &written, nullptr))
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFilePath);
  // A full disk may show first as a write that takes only part of the bytes.
  if (written < count) throw CFileException(CFileException::diskFull, ERROR_DISK_FULL, m_strFilePath);
}

ULONGLONG CFile::GetLength() const {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(m_hFile, &size)) CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFilePath);
  return static_cast<ULONGLONG>(size.QuadPart);
}

void CFile::Close() {
  if (m_hFile == INVALID_HANDLE_VALUE) return;
  const BOOL closed = CloseHandle(m_hFile);
  m_hFile = INVALID_HANDLE_VALUE;
  if (!closed) CFileException::ThrowOsError(static_cast<LONG>(GetLastError()));
}

void CFile::Abort() noexcept {
  if (m_hFile != INVALID_HANDLE_VALUE) CloseHandle(m_hFile);
  m_hFile = INVALID_HANDLE_VALUE;
}
