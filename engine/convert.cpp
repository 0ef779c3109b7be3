#include "engine/convert.h"

#include <windows.h>

#include <new>
#include <vector>

#include "engine/tab_expander.h"
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

// Streams source into destination through fixed buffers; throws CFileException.
uint64_t ConvertStream(const std::string& source, const std::string& destination, const TabStopList& stops) {
  std::vector<char> input(kReadSize);
  // The source first: when it cannot be opened the destination stays untouched.
  CFile sourceFile(source.c_str(), CFile::modeRead | CFile::shareDenyWrite);
  CFile destinationFile(destination.c_str(), CFile::modeWrite | CFile::shareExclusive | CFile::modeCreate);
  FileSink sink(destinationFile);
  TabExpander expander(stops, sink, kWriteSize);
  while (const DWORD got = sourceFile.Read(input.data(), kReadSize)) expander.Expand(input.data(), got);
  expander.Flush();
  sourceFile.Close();
  destinationFile.Close();
  return expander.GetTabCount();
}

}  // namespace

int ConvertFile(const std::string& source, const std::string& destination, const TabStopList& stops,
                std::string* report) {
  CWaitCursor wait;
  std::string error;
  uint64_t tabCount = 0;
  try {
    tabCount = ConvertStream(source, destination, stops);
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

  const std::string count = TabsConvertedText(tabCount);
  if (report != nullptr) {
    *report += count;
    return kConvertDone;
  }
  const std::string question = count + ".\n\nDo you want to convert another file?";
  return AfxMessageBox(question.c_str(), MB_YESNO | MB_ICONQUESTION);
}
