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
#include "framework/wait_cursor.h"
#include "framework/win_app.h"

namespace {

// Small enough that both buffers stay in the processor cache: the system
// copies in and out of them faster than with larger ones.
constexpr DWORD kReadSize = 64 * 1024;
constexpr size_t kWriteSize = 64 * 1024;

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

// The rest of the source through one expander, from the state that the text
// before left.
// With stopAtNul it stops at the first chunk that holds a NUL byte and
// answers false (the text is binary).
template <typename Expander>
bool ExpandRest(CFile& sourceFile, std::vector<char>& input, Expander& expander, uint64_t& tabCount,
                bool stopAtNul = false) {
  while (const DWORD got = sourceFile.Read(input.data(), kReadSize)) {
    if (stopAtNul && HoldsNul(input.data(), got)) return false;
    expander.Expand(input.data(), got);
  }
  expander.Finish();
  tabCount = expander.GetTabCount();
  return true;
}

class ByteExpander : public TabExpander {
 public:
  using TabExpander::TabExpander;
  void Finish() { Flush(); }
};

// Empties the destination again for a conversion that starts over; a soft
// destination that cannot be emptied counts as a copy that failed.
void StartOver(CFile& destination, FileSink& sink, bool soft) {
  if (sink.Failed()) return;
  LARGE_INTEGER start = {};
  sink.Restart();
  if (SetFilePointerEx(destination.GetHandle(), start, nullptr, FILE_BEGIN) &&
      SetEndOfFile(destination.GetHandle()))
    return;
  if (!soft) CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), destination.GetFilePath());
  sink.Fail();
}

struct StreamResult {
  uint64_t m_nTabCount = 0;
  bool m_bNotText = false;
  bool m_bCopyFailed = false;  // a soft destination could not be written
};

// Streams source into destination through fixed buffers; throws CFileException.
// Text before the first byte from 0x80 up is ASCII, the same under every
// rule: it goes through the byte path while it is read. From that byte on
// it goes through the UTF-8 path, which checks the rest as it goes; a
// mark decides at once, and a rest that is not UTF-8 starts the whole
// source over by the byte rule. When binary sources are refused,
// the whole source is read first, before the destination is opened.
// With softDestination, a destination that cannot be opened (or an empty
// name), written or closed is no failure of the conversion: the source is
// read to its end all the same and the result says the copy failed. Such a
// destination is the converted copy, a new empty file of the caller's.
// A destination is emptied only when it holds something: Wine's
// CREATE_ALWAYS empties even the file it has just made, and on ext4 a file
// emptied so is flushed to the disk when it is closed (the safeguard for
// files rewritten in place), which for a 280 MB output took 35 to 120 ms of
// the conversion under Wine. A new destination is made with CREATE_NEW,
// an existing one opened as before; the converted copy is opened as it is.
// With stopAtNul the conversion stops where a NUL byte shows the source to
// be binary (outside UTF-16 text), with the result "not text": for a
// destination that is thrown away then, as a converted copy is.
StreamResult ConvertStream(const std::string& source, const std::string& destination, const TabStopList& stops,
                           bool refuseBinary, bool softDestination = false, bool stopAtNul = false) {
  std::vector<char> input(kReadSize);
  StreamResult result;
  // The source first: when it cannot be opened the destination stays untouched.
  CFile sourceFile(source.c_str(), CFile::modeRead | CFile::shareDenyWrite);
  EncodingDetector detector;
  if (refuseBinary) {
    while (const DWORD got = sourceFile.Read(input.data(), kReadSize)) detector.Feed(input.data(), got);
    detector.Finish();
    if (detector.HasNul()) {
      sourceFile.Close();
      result.m_bNotText = true;
      return result;
    }
    SeekTo(sourceFile, 0);
  }
  const UINT destinationMode = CFile::modeWrite | CFile::shareExclusive | CFile::modeCreate;
  CFile destinationFile;
  FileSink sink(destinationFile, softDestination);
  if (!softDestination) {
    if (!destinationFile.Open(destination.c_str(), destinationMode | CFile::modeCreateNew, nullptr))
      destinationFile.Open(destination.c_str(), destinationMode);
  } else if (destination.empty() ||
             !destinationFile.Open(destination.c_str(), destinationMode | CFile::modeNoTruncate, nullptr)) {
    sink.Fail();
  } else {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(destinationFile.GetHandle(), &size)) sink.Fail();
    else if (size.QuadPart != 0) StartOver(destinationFile, sink, true);  // not ours as made: emptied after all
  }
  ByteExpander bytes(stops, sink, kWriteSize);
  uint64_t ascii = 0;  // source bytes that went through the byte path
  bool rest = refuseBinary;
  bool converted = false;  // the whole source went through the UTF-8 path
  TextEncoding encoding = TextEncoding::kBytes;  // the rule for the rest
  if (!refuseBinary) {
    while (const DWORD got = sourceFile.Read(input.data(), kReadSize)) {
      detector.Feed(input.data(), got);
      if (stopAtNul && detector.HasNul()) {
        result.m_bNotText = true;
        return result;
      }
      const uint64_t high = detector.GetFirstHighByte();
      if (high < ascii + got) {
        const size_t from = static_cast<size_t>(high - ascii);
        bytes.Expand(input.data(), from);
        ascii = high;
        rest = true;
        if (detector.IsSettled()) {
          encoding = detector.GetEncoding();
          break;
        }
        // Most likely UTF-8 from here on: converted so, and checked by the
        // UTF-8 path itself as it goes, so that a valid file is read once
        // and its bytes looked at once. Should the rest turn out not to be
        // UTF-8, the whole file goes again from its start by the byte rule,
        // into the destination made empty again.
        bytes.Flush();
        Utf8Expander utf8(stops, sink, kWriteSize);
        utf8.SetState(bytes.GetColumn(), bytes.GetTabCount());
        utf8.AlignOutputAfter(sink.Offered());
        utf8.Expand(input.data() + from, got - from);
        while (utf8.IsValid()) {
          const DWORD ahead = sourceFile.Read(input.data(), kReadSize);
          if (ahead == 0) break;
          if (stopAtNul && HoldsNul(input.data(), ahead)) {
            result.m_bNotText = true;
            return result;
          }
          utf8.Expand(input.data(), ahead);
        }
        if (utf8.IsValid()) utf8.Finish();  // a character cut at the end makes it not valid
        if (utf8.IsValid()) {
          result.m_nTabCount = utf8.GetTabCount();
          rest = false;
          converted = true;
        } else {
          StartOver(destinationFile, sink, softDestination);
          bytes.SetState(0, 0);
          ascii = 0;
        }
        break;
      }
      bytes.Expand(input.data(), got);
      ascii += got;
    }
  } else {
    encoding = detector.GetEncoding();
  }
  if (rest) {
    SeekTo(sourceFile, ascii);
    bool text = true;
    if (encoding == TextEncoding::kBytes) {
      text = ExpandRest(sourceFile, input, bytes, result.m_nTabCount, stopAtNul);
    } else {
      bytes.Flush();
      if (encoding == TextEncoding::kUtf8) {
        Utf8Expander expander(stops, sink, kWriteSize);
        expander.SetState(bytes.GetColumn(), bytes.GetTabCount());
        expander.AlignOutputAfter(sink.Offered());
        text = ExpandRest(sourceFile, input, expander, result.m_nTabCount, stopAtNul);
      } else {
        // NUL bytes are part of UTF-16 text.
        Utf16Expander expander(stops, sink, encoding == TextEncoding::kUtf16Be, kWriteSize);
        expander.SetState(bytes.GetColumn(), bytes.GetTabCount());
        ExpandRest(sourceFile, input, expander, result.m_nTabCount);
      }
    }
    if (!text) {
      result.m_bNotText = true;
      return result;
    }
  } else if (!converted) {
    bytes.Flush();
    result.m_nTabCount = bytes.GetTabCount();
  }
  sourceFile.Close();
  if (!softDestination) {
    destinationFile.Close();
  } else {
    try {
      destinationFile.Close();
    } catch (const CFileException&) {
      sink.Fail();
    }
  }
  result.m_bCopyFailed = sink.Failed();
  return result;
}

}  // namespace

int ConvertFile(const std::string& source, const std::string& destination, const TabStopList& stops,
                std::string* report, BinarySource binary) {
  CWaitCursor wait;
  std::string error;
  StreamResult result;
  try {
    result = ConvertStream(source, destination, stops, report != nullptr && binary == BinarySource::kRefuse);
  } catch (const CFileException& e) {
    error = e.GetErrorMessage();
  } catch (const std::bad_alloc&) {
    error = CFileException(CFileException::genericException, ERROR_NOT_ENOUGH_MEMORY).GetErrorMessage();
  }

  if (!error.empty()) {
    if (report != nullptr) {
      *report += "Error converting file: " + error;
    } else {
      const std::string text =
          "Error converting file.\nSource: " + source + "\nDestination: " + destination + "\n\n" + error;
      AfxMessageBox(text.c_str(), MB_OK | MB_ICONEXCLAMATION);
    }
    return kConvertFailed;
  }

  if (result.m_bNotText) return kConvertNotText;
  const std::string count = TabsConvertedText(result.m_nTabCount);
  if (report != nullptr) {
    *report += count;
    return kConvertDone;
  }
  const std::string question = count + ".\n\nDo you want to convert another file?";
  return AfxMessageBox(question.c_str(), MB_YESNO | MB_ICONQUESTION);
}

void ConvertFileInPlace(const std::string& path, const TabStopList& stops, std::string& report) {
  CWaitCursor wait;
  const size_t separator = path.find_last_of("\\/:");
  const std::string folder = separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
  std::string copy;
  // Without a copy beside the file (a folder the user cannot write to) the
  // source is still read and counted; only the replacement fails.
  if (!CreateSiblingFile(folder, copy)) copy.clear();
  StreamResult result;
  std::string error;
  try {
    result = ConvertStream(path, copy, stops, false, true, true);
  } catch (const CFileException& e) {
    error = e.GetErrorMessage();
  } catch (const std::bad_alloc&) {
    error = CFileException(CFileException::genericException, ERROR_NOT_ENOUGH_MEMORY).GetErrorMessage();
  }
  bool replaced = false;
  if (error.empty() && !result.m_bNotText && !result.m_bCopyFailed) replaced = ReplaceWithConverted(copy, path);
  if (!replaced && !copy.empty()) {
    SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(copy.c_str());
  }
  if (!error.empty()) {
    report += "Error converting file: " + error;
  } else if (result.m_bNotText) {
    report += "Not a text file. Tabs not converted.";
  } else {
    report += TabsConvertedText(result.m_nTabCount);
    if (!replaced) report += " - Copy failed. Tabs not converted.";
  }
}
