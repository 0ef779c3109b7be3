#pragma once
#include <windows.h>

#include <exception>
#include <string>

// A failed file operation: its cause, the system error code and the file it
// concerns (empty for an operation that names no file).
class CFileException : public std::exception {
 public:
  enum Cause {
    none,
    genericException,
    fileNotFound,
    badPath,
    tooManyOpenFiles,
    accessDenied,
    invalidFile,
    removeCurrentDir,
    directoryFull,
    badSeek,
    hardIO,
    sharingViolation,
    lockViolation,
    diskFull,
    endOfFile,
  };

  explicit CFileException(Cause cause = none, LONG osError = -1, std::string fileName = {});

  static Cause OsErrorToCause(LONG osError);
  [[noreturn]] static void ThrowOsError(LONG osError, const std::string& fileName = {});

  // The text for the cause with %1 replaced by the file name ("an unnamed
  // file" when there is none), at most 255 characters.
  std::string GetErrorMessage() const;
  const char* what() const noexcept override { return "file exception"; }

  Cause m_cause;
  LONG m_lOsError;
  std::string m_strFileName;
};

// A file handle that closes itself. Names are the framework's text
// (framework/wide.h). Open, Read, Write and Close throw
// CFileException. A failed open names the file as given, a failed write the
// file's full path; read and close failures name no file.
class CFile {
 public:
  // Combine one mode, one share flag and modeCreate as needed.
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareExclusive = 0x0010,
    shareDenyWrite = 0x0020,
    shareDenyRead = 0x0030,
    shareDenyNone = 0x0040,
    modeCreate = 0x1000,  // create, or empty an existing file
    modeNoTruncate = 0x2000,  // with modeCreate: keep an existing file as it is
    modeCreateNew = 0x4000,   // with modeCreate: only a file that is not there yet (else ERROR_FILE_EXISTS)
  };

  CFile() = default;
  CFile(const char* fileName, UINT openFlags) { Open(fileName, openFlags); }
  ~CFile() { Abort(); }
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;
  CFile(CFile&& other) noexcept;
  CFile& operator=(CFile&& other) noexcept;

  void Open(const char* fileName, UINT openFlags);
  // The same without throwing: false (and *error filled in, if given) on failure.
  bool Open(const char* fileName, UINT openFlags, CFileException* error);
  // Reads up to count bytes; returns how many came, 0 at the end of the file.
  DWORD Read(void* buffer, DWORD count);
  // Writes all count bytes; a short write is reported as a full disk.
  void Write(const void* buffer, DWORD count);
  ULONGLONG GetLength() const;
  void Close();
  // Closes without reporting failures; for cleanup paths.
  void Abort() noexcept;

  bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
  HANDLE GetHandle() const { return m_hFile; }
  const std::string& GetFileName() const { return m_strFileName; }
  const std::string& GetFilePath() const { return m_strFilePath; }

 private:
  HANDLE m_hFile = INVALID_HANDLE_VALUE;
  std::string m_strFileName;  // as given to Open
  std::string m_strFilePath;  // the full path
};
