#include "engine/convert.h"

#include <windows.h>

#include <new>
#include <vector>

#include "engine/tab_expander.h"
#include "engine/text_encoding.h"
#include "engine/unicode_expanders.h"
#include "framework/file.h"
#include "framework/message_box.h"
#include "framework/wait_cursor.h"

namespace {

// Small enough that both buffers stay in the processor cache: the system
// copies in and out of them faster than with larger ones.
constexpr DWORD kReadSize = 64 * 1024;
constexpr size_t kWriteSize = 64 * 1024;

class FileSink : public ByteSink {
 public:
  explicit FileSink(CFile& file) : m_File(file) {}
  void Write(const char* data, size_t size) override {
    // WriteFile takes a 32-bit count: hand a long run over in pieces.
    while (size > 0) {
      const DWORD piece = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
      m_File.Write(data, piece);
      data += piece;
      size -= piece;
    }
  }

 private:
  CFile& m_File;
};

void SeekTo(CFile& file, uint64_t offset) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(file.GetHandle(), to, nullptr, FILE_BEGIN)) CFileException::ThrowOsError(GetLastError());
}

// The rest of the source through one expander, from the state that the text
// before left.
template <typename Expander>
uint64_t ExpandRest(CFile& sourceFile, std::vector<char>& input, Expander& expander) {
  while (const DWORD got = sourceFile.Read(input.data(), kReadSize)) expander.Expand(input.data(), got);
  expander.Finish();
  return expander.GetTabCount();
}

class ByteExpander : public TabExpander {
 public:
  using TabExpander::TabExpander;
  void Finish() { Flush(); }
};

struct StreamResult {
  uint64_t m_nTabCount = 0;
  bool m_bNotText = false;
};

// Streams source into destination through fixed buffers; throws CFileException.
// Text before the first byte from 0x80 up is ASCII, the same under every
// rule: it goes through the byte path while it is read. From that byte on
// the rest of the source is read ahead until the encoding is decided, then
// read again through the expander for it. When binary sources are refused,
// the whole source is read first, before the destination is opened.
StreamResult ConvertStream(const std::string& source, const std::string& destination, const TabStopList& stops,
                           bool refuseBinary) {
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
  CFile destinationFile(destination.c_str(), CFile::modeWrite | CFile::shareExclusive | CFile::modeCreate);
  FileSink sink(destinationFile);
  ByteExpander bytes(stops, sink, kWriteSize);
  uint64_t ascii = 0;  // source bytes that went through the byte path
  bool rest = refuseBinary;
  if (!refuseBinary) {
    while (const DWORD got = sourceFile.Read(input.data(), kReadSize)) {
      detector.Feed(input.data(), got);
      const uint64_t high = detector.GetFirstHighByte();
      if (high < ascii + got) {
        bytes.Expand(input.data(), static_cast<size_t>(high - ascii));
        ascii = high;
        rest = true;
        while (!detector.IsSettled()) {
          const DWORD ahead = sourceFile.Read(input.data(), kReadSize);
          if (ahead == 0) break;
          detector.Feed(input.data(), ahead);
        }
        break;
      }
      bytes.Expand(input.data(), got);
      ascii += got;
    }
    detector.Finish();
  }
  if (rest) {
    SeekTo(sourceFile, ascii);
    const TextEncoding encoding = detector.GetEncoding();
    if (encoding == TextEncoding::kBytes) {
      result.m_nTabCount = ExpandRest(sourceFile, input, bytes);
    } else {
      bytes.Flush();
      if (encoding == TextEncoding::kUtf8) {
        Utf8Expander expander(stops, sink, kWriteSize);
        expander.SetState(bytes.GetColumn(), bytes.GetTabCount());
        result.m_nTabCount = ExpandRest(sourceFile, input, expander);
      } else {
        Utf16Expander expander(stops, sink, encoding == TextEncoding::kUtf16Be, kWriteSize);
        expander.SetState(bytes.GetColumn(), bytes.GetTabCount());
        result.m_nTabCount = ExpandRest(sourceFile, input, expander);
      }
    }
  } else {
    bytes.Flush();
    result.m_nTabCount = bytes.GetTabCount();
  }
  sourceFile.Close();
  destinationFile.Close();
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
