#include "engine/convert.h"

#include <windows.h>

#include <cstring>
#include <new>
#include <vector>

#include "engine/replace_file.h"
#include "engine/tab_expander.h"
#include "engine/text_encoding.h"
#include "engine/unicode_expanders.h"
#include "framework/file.h"
#include "framework/file_system.h"
#include "framework/handle.h"

namespace {

// Small enough that both buffers stay in the processor cache: the system
// copies in and out of them faster than with larger ones.
constexpr DWORD kReadSize = 64 * 1024;
constexpr size_t kWriteSize = 64 * 1024;

// The reparse tag of a symbolic link made by the Linux subsystem.
constexpr DWORD kReparseTagUnixSymlink = 0xA000001D;

// Where a file lies: its volume and index; false when it cannot be opened.
bool IdentityOf(const std::wstring& path, DWORD* volume, uint64_t* index) {
  const CHandle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION information;
  if (!file.IsValid() || !GetFileInformationByHandle(file, &information)) return false;
  *volume = information.dwVolumeSerialNumber;
  *index = (uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
  return true;
}

std::wstring FolderPart(const std::wstring& path) {
  const size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? L"." : path.substr(0, separator + 1);
}

std::wstring NamePart(const std::wstring& path) {
  const size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

// A symbolic link or junction by its reparse point, for a system without
// final paths. Other reparse points (a file kept in the cloud, a
// deduplicated one) are files of their own.
bool IsLinkReparsePoint(const std::string& path) {
  const DWORD attributes = GetFileAttributesNamed(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  const CFindFile entry(path.c_str());
  if (!entry.IsValid()) return true;
  const DWORD tag = entry.Data().dwReserved0;
  return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT || tag == kReparseTagUnixSymlink;
}

// Whether `path`, opened as `file`, is a symbolic link or a junction: a name
// that stands for a file elsewhere. The system's final path of the open file
// (GetFinalPathNameByHandleW, from Windows Vista on) says where it really
// is; a link of the host's file system under Wine shows only there, with no
// reparse point. A final path that differs as text only (a short name, a
// mapped drive, a linked folder above) names the same folder.
bool IsLink(HANDLE file, const std::string& path) {
  using FinalPathProc = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
  static const FinalPathProc finalPath = reinterpret_cast<FinalPathProc>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleW")));
  if (finalPath == nullptr) return IsLinkReparsePoint(path);
  const std::wstring named = TextToWide(path);
  WCHAR full[MAX_PATH];
  std::wstring real(4 * MAX_PATH, L'\0');
  const DWORD length = finalPath(file, &real[0], static_cast<DWORD>(real.size()), 0);
  if (named.empty() || GetFullPathNameW(named.c_str(), MAX_PATH, full, nullptr) - 1 >= MAX_PATH - 1 || length == 0 ||
      length >= real.size())
    return IsLinkReparsePoint(path);
  real.resize(length);
  if (real.compare(0, 8, L"\\\\?\\UNC\\") == 0)
    real.replace(0, 8, L"\\\\");
  else if (real.compare(0, 4, L"\\\\?\\") == 0)
    real.erase(0, 4);
  if (lstrcmpiW(full, real.c_str()) == 0) return false;
  if (lstrcmpiW(NamePart(full).c_str(), NamePart(real).c_str()) != 0) return true;
  DWORD namedVolume = 0, realVolume = 0;
  uint64_t namedFolder = 0, realFolder = 0;
  return IdentityOf(FolderPart(full), &namedVolume, &namedFolder) &&
         IdentityOf(FolderPart(real), &realVolume, &realFolder) &&
         (namedVolume != realVolume || namedFolder != realFolder);
}

// Writes the expansion to the destination. A sink that is soft keeps the
// first failure to write instead of throwing it and drops the rest, so that
// the source is still read to its end and its tabs counted: for a converted
// copy, a copy that cannot be written is not a source that cannot be read.
class FileSink : public ByteSink {
 public:
  FileSink(CFile& file, bool soft) : m_File(file), m_bSoft(soft) {}
  void Write(const char* data, size_t size) override {
    m_nOffered += size;
    if (m_bFailed) return;
    try {
      // WriteFile takes a 32-bit count: hand a long run over in pieces.
      while (size > 0) {
        const DWORD piece = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        m_File.Write(data, piece);
        data += piece;
        size -= piece;
      }
    } catch (const CFileException&) {
      if (!m_bSoft) throw;
      m_bFailed = true;
    }
  }
  void Fail() { m_bFailed = true; }
  bool Failed() const { return m_bFailed; }
  // The bytes handed to the sink so far (written or, after a failure, dropped).
  uint64_t Offered() const { return m_nOffered; }
  void Restart() { m_nOffered = 0; }

 private:
  CFile& m_File;
  bool m_bSoft;
  bool m_bFailed = false;
  uint64_t m_nOffered = 0;
};

void SeekTo(CFile& file, uint64_t offset) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(file.GetHandle(), to, nullptr, FILE_BEGIN)) CFileException::ThrowOsError(GetLastError());
}

// Where the converted text goes, which decides how failures and binary
// sources are met.
enum class Target {
  // The user's destination: made new (CREATE_NEW), or an existing one
  // opened and emptied. Any file failure ends the conversion; a binary
  // source converts like any other.
  kDestination,
  // The converted copy, a new file made beside the source once the source
  // shows a tab byte (a source without one is only read): one that cannot
  // be made, written, flushed or closed is no failure of the conversion, the
  // source is read to its end all the same and the result says the copy
  // failed. A NUL byte outside UTF-16 text stops the conversion as not text
  // (the copy is thrown away then). A link, or a source with more than one
  // name, is left as it is once a tab byte shows.
  kConvertedCopy,
};

class ByteExpander : public TabExpander {
 public:
  using TabExpander::TabExpander;
  void Finish() { Flush(); }
};

// Streams one source into one target through fixed buffers; Run throws
// CFileException. Text before the first byte from 0x80 up is ASCII, the
// same under every rule: it goes through the byte path while it is read.
// From that byte on it goes through the UTF-8 path, which checks the rest
// as it goes; a mark decides at once, and a rest that is not UTF-8 starts
// the whole source over by the byte rule. A valid UTF-8 file is read once.
class CStreamConversion {
 public:
  CStreamConversion(const TabStopList& stops, Target target, const std::function<void()>& between)
      : m_Stops(stops),
        m_Between(between),
        m_bCopy(target == Target::kConvertedCopy),
        m_Input(kReadSize),
        m_Sink(m_DestinationFile, m_bCopy),
        m_Bytes(stops, m_Sink, kWriteSize) {}

  // For the converted copy, `destination` is the folder to make it in, and
  // *copy receives its name once it is made.
  ConvertResult Run(const std::string& source, const std::string& destination, std::string* copy) {
    // The source first: when it cannot be opened the destination stays untouched.
    m_SourceFile.Open(source.c_str(), CFile::modeRead | CFile::shareDenyWrite);
    if (m_bCopy) {
      // A file without a tab is only read, whatever it is; the others are
      // written only where a new file may take the name's place.
      if (!FindTabByte()) return m_Result;
      if (IsLink(m_SourceFile.GetHandle(), source)) {
        m_Result.m_Outcome = ConvertOutcome::kLink;
        return m_Result;
      }
      if (HasOtherNames()) {
        m_Result.m_Outcome = ConvertOutcome::kSeveralNames;
        return m_Result;
      }
      SeekTo(m_SourceFile, 0);
      // Without a copy beside the file (a folder the user cannot write to) the
      // source is still read and counted; only the replacement fails.
      if (!CreateSiblingFile(destination, *copy, &m_DestinationFile)) {
        copy->clear();
        m_Sink.Fail();
      }
    } else {
      OpenDestination(destination);
    }
    Step step = ExpandAsciiStart();
    if (step == Step::kUtf8) step = ExpandUtf8Checked();
    if (step == Step::kRest) step = ExpandRest();
    if (step == Step::kNotText) {
      m_Result.m_Outcome = ConvertOutcome::kNotText;
      return m_Result;
    }
    Close();
    return m_Result;
  }

 private:
  // What comes after a step.
  enum class Step {
    kUtf8,     // the UTF-8 attempt, from the first byte from 0x80 up
    kRest,     // the rest of the source by m_Encoding, from m_nAscii
    kDone,     // the whole source converted
    kNotText,  // a NUL byte showed a binary source (converted copy only)
  };

  // A new destination is made with CREATE_NEW, an existing one opened as
  // before, which empties it. Wine's CREATE_ALWAYS empties even the file it
  // has just made, and on ext4 a file emptied so is flushed to the disk when
  // it is closed (the safeguard for files rewritten in place), which for a
  // 280 MB output took 35 to 120 ms of the conversion under Wine.
  void OpenDestination(const std::string& destination) {
    const UINT mode = CFile::modeWrite | CFile::shareExclusive | CFile::modeCreate;
    if (!m_DestinationFile.Open(destination.c_str(), mode | CFile::modeCreateNew, nullptr))
      m_DestinationFile.Open(destination.c_str(), mode);
  }

  // The next piece of the source into m_Input; the caller's `between` after
  // every kBytesBetweenCalls read.
  DWORD ReadPiece() {
    const DWORD got = m_SourceFile.Read(m_Input.data(), kReadSize);
    m_nRead += got;
    if (m_Between && m_nRead >= kBytesBetweenCalls) {
      m_nRead = 0;
      m_Between();
    }
    return got;
  }

  // A file with hard links: replacing it by a new file would leave its other
  // names with the old text.
  // The standard information where the system has it (from Windows Vista
  // on): GetFileInformationByHandle also asks the volume for its serial
  // number, which under Wine costs more than reading a small file.
  bool HasOtherNames() {
    // FILE_STANDARD_INFO and its class, 1, which the headers of this build
    // (for older systems) do not declare.
    struct StandardInformation {
      LARGE_INTEGER allocationSize;
      LARGE_INTEGER endOfFile;
      DWORD numberOfLinks;
      BOOLEAN deletePending;
      BOOLEAN directory;
    };
    using InformationProc = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
    static const InformationProc information = reinterpret_cast<InformationProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFileInformationByHandleEx")));
    StandardInformation standard;
    if (information != nullptr && information(m_SourceFile.GetHandle(), 1, &standard, sizeof standard))
      return standard.numberOfLinks > 1;
    BY_HANDLE_FILE_INFORMATION byHandle;
    return GetFileInformationByHandle(m_SourceFile.GetHandle(), &byHandle) && byHandle.nNumberOfLinks > 1;
  }

  // Reads the source for a byte 09 (every tab, and a part of some UTF-16
  // characters). Without one the conversion changes nothing, and no copy is
  // made: the result is 0 tabs converted, or not text for a NUL byte outside
  // UTF-16 text, as the conversion itself would find.
  bool FindTabByte() {
    EncodingDetector detector;
    bool nul = false;
    bool first = true;
    while (const DWORD got = ReadPiece()) {
      if (HoldsTabByte(m_Input.data(), got)) return true;
      // The first piece decides a mark.
      if (first) detector.Feed(m_Input.data(), got);
      first = false;
      nul = nul || HoldsNul(m_Input.data(), got);
    }
    detector.Finish();
    const TextEncoding encoding = detector.GetEncoding();
    if (nul && encoding != TextEncoding::kUtf16Le && encoding != TextEncoding::kUtf16Be)
      m_Result.m_Outcome = ConvertOutcome::kNotText;
    return false;
  }

  // The ASCII start through the byte path, up to the first byte from 0x80
  // up; the piece from that byte on waits in m_Input for the UTF-8 attempt,
  // unless a mark or a sequence that is not UTF-8 has decided already.
  Step ExpandAsciiStart() {
    while (const DWORD got = ReadPiece()) {
      m_Detector.Feed(m_Input.data(), got);
      if (m_bCopy && m_Detector.HasNul()) return Step::kNotText;
      const uint64_t high = m_Detector.GetFirstHighByte();
      if (high >= m_nAscii + got) {
        m_Bytes.Expand(m_Input.data(), got);
        m_nAscii += got;
        continue;
      }
      const size_t from = static_cast<size_t>(high - m_nAscii);
      m_Bytes.Expand(m_Input.data(), from);
      m_nAscii = high;
      if (m_Detector.IsSettled()) {
        m_Encoding = m_Detector.GetEncoding();
        return Step::kRest;
      }
      m_nPendingFrom = from;
      m_nPendingSize = got - from;
      return Step::kUtf8;
    }
    m_Bytes.Flush();
    m_Result.m_nTabCount = m_Bytes.GetTabCount();
    return Step::kDone;
  }

  // Most likely UTF-8 from here on: converted so, and checked by the UTF-8
  // path itself as it goes, so that a valid file is read once and its bytes
  // looked at once. Should the rest turn out not to be UTF-8, the whole file
  // goes again from its start by the byte rule, into the destination made
  // empty again.
  Step ExpandUtf8Checked() {
    m_Bytes.Flush();
    Utf8Expander utf8(m_Stops, m_Sink, kWriteSize);
    utf8.SetState(m_Bytes.GetColumn(), m_Bytes.GetTabCount(), m_Bytes.IsInIndentation());
    utf8.AlignOutputAfter(m_Sink.Offered());
    utf8.Expand(m_Input.data() + m_nPendingFrom, m_nPendingSize);
    while (utf8.IsValid()) {
      const DWORD got = ReadPiece();
      if (got == 0) break;
      if (m_bCopy && HoldsNul(m_Input.data(), got)) return Step::kNotText;
      utf8.Expand(m_Input.data(), got);
    }
    if (utf8.IsValid()) utf8.Finish();  // a character cut at the end makes it not valid
    if (utf8.IsValid()) {
      m_Result.m_nTabCount = utf8.GetTabCount();
      return Step::kDone;
    }
    StartOver();
    m_Bytes.SetState(0, 0);
    m_nAscii = 0;
    m_Encoding = TextEncoding::kBytes;
    return Step::kRest;
  }

  // The rest of the source, from m_nAscii, by the decided encoding, from the
  // state the byte path left.
  Step ExpandRest() {
    SeekTo(m_SourceFile, m_nAscii);
    if (m_Encoding == TextEncoding::kBytes) return ExpandToEnd(m_Bytes, m_bCopy);
    m_Bytes.Flush();
    if (m_Encoding == TextEncoding::kUtf8) {
      Utf8Expander expander(m_Stops, m_Sink, kWriteSize);
      expander.SetState(m_Bytes.GetColumn(), m_Bytes.GetTabCount(), m_Bytes.IsInIndentation());
      expander.AlignOutputAfter(m_Sink.Offered());
      return ExpandToEnd(expander, m_bCopy);
    }
    // NUL bytes are part of UTF-16 text.
    Utf16Expander expander(m_Stops, m_Sink, m_Encoding == TextEncoding::kUtf16Be, kWriteSize);
    expander.SetState(m_Bytes.GetColumn(), m_Bytes.GetTabCount(), m_Bytes.IsInIndentation());
    return ExpandToEnd(expander, false);
  }

  // The source to its end through one expander; with stopAtNul it stops at
  // the first piece that holds a NUL byte.
  template <typename Expander>
  Step ExpandToEnd(Expander& expander, bool stopAtNul) {
    while (const DWORD got = ReadPiece()) {
      if (stopAtNul && HoldsNul(m_Input.data(), got)) return Step::kNotText;
      expander.Expand(m_Input.data(), got);
    }
    expander.Finish();
    m_Result.m_nTabCount = expander.GetTabCount();
    return Step::kDone;
  }

  // Empties the destination again for a conversion that starts over; a
  // converted copy that cannot be emptied counts as a copy that failed.
  void StartOver() {
    if (m_Sink.Failed()) return;
    LARGE_INTEGER start = {};
    m_Sink.Restart();
    if (SetFilePointerEx(m_DestinationFile.GetHandle(), start, nullptr, FILE_BEGIN) &&
        SetEndOfFile(m_DestinationFile.GetHandle()))
      return;
    if (!m_bCopy) CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_DestinationFile.GetFilePath());
    m_Sink.Fail();
  }

  // A converted copy that cannot be flushed to the disk or closed (its last
  // data not written) is a copy that failed. The flush comes before the
  // copy takes the file's place: the system writes a rename to the disk at
  // once and the data later, so that a power cut after a run would leave
  // the file's name on a copy not yet written. A copy with no tab converted
  // is thrown away, not flushed.
  void Close() {
    m_SourceFile.Close();
    if (!m_bCopy) {
      m_DestinationFile.Close();
    } else {
      if (!m_Sink.Failed() && m_Result.m_nTabCount != 0 &&
          !ReplaceFileRoutines().flushFileBuffers(m_DestinationFile.GetHandle()))
        m_Sink.Fail();
      try {
        m_DestinationFile.Close();
      } catch (const CFileException&) {
        m_Sink.Fail();
      }
    }
    if (m_Sink.Failed()) m_Result.m_Outcome = ConvertOutcome::kCopyFailed;
  }

  const TabStopList& m_Stops;
  const std::function<void()>& m_Between;
  uint64_t m_nRead = 0;  // source bytes read since `between` was last called
  const bool m_bCopy;  // the target is the converted copy
  std::vector<char> m_Input;
  CFile m_SourceFile;
  CFile m_DestinationFile;
  FileSink m_Sink;
  EncodingDetector m_Detector;
  ByteExpander m_Bytes;
  uint64_t m_nAscii = 0;                           // source bytes that went through the byte path
  TextEncoding m_Encoding = TextEncoding::kBytes;  // the rule for the rest
  size_t m_nPendingFrom = 0, m_nPendingSize = 0;   // the piece for the UTF-8 attempt in m_Input
  ConvertResult m_Result;
};

// Runs a conversion; a file failure, or memory that runs out, comes back as
// the result's error.
ConvertResult Convert(const std::string& source, const std::string& destination, const TabStopList& stops,
                      Target target, std::string* copy = nullptr, const std::function<void()>& between = {}) {
  ConvertResult failure;
  failure.m_Outcome = ConvertOutcome::kFailed;
  try {
    return CStreamConversion(stops, target, between).Run(source, destination, copy);
  } catch (const CFileException& e) {
    failure.m_strError = e.GetErrorMessage();
  } catch (const std::bad_alloc&) {
    failure.m_strError = CFileException(CFileException::genericException, ERROR_NOT_ENOUGH_MEMORY).GetErrorMessage();
  }
  return failure;
}

}  // namespace

ConvertResult ConvertFile(const std::string& source, const std::string& destination, const TabStopList& stops) {
  return Convert(source, destination, stops, Target::kDestination);
}

ConvertResult ConvertFileInPlace(const std::string& path, const TabStopList& stops,
                                 const std::function<void()>& between) {
  const size_t separator = path.find_last_of("\\/:");
  const std::string folder = separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
  std::string copy;
  ConvertResult result;
  try {
    result = Convert(path, folder, stops, Target::kConvertedCopy, &copy, between);
  } catch (...) {
    // Only `between` throws anything else: the file is still there as it
    // was, and its copy goes.
    if (!copy.empty()) DeleteFileNamed(copy.c_str());
    throw;
  }
  // A conversion that changed nothing leaves the file as it was.
  if (result.m_Outcome == ConvertOutcome::kConverted && result.m_nTabCount != 0) {
    switch (ReplaceWithConverted(copy, path, &result.m_strKept)) {
      case ReplaceOutcome::kReplaced:
        return result;
      case ReplaceOutcome::kCopyKept:
        // Never removed: it may be the only whole text of the file.
        result.m_Outcome = ConvertOutcome::kCopyKept;
        return result;
      case ReplaceOutcome::kRefused:
        result.m_Outcome = ConvertOutcome::kCopyFailed;
        break;
    }
  }
  // The file is there under its name: the copy goes.
  if (!copy.empty()) {
    SetFileAttributesNamed(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileNamed(copy.c_str());
  }
  return result;
}
