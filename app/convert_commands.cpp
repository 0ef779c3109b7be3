// The three conversion commands of the main window: Convert File (button
// 1018), Convert Multiple Files (button 3) and Convert Clipboard (button 1010).
// Each reports through the message-box routine, and ends the program through
// OnCancel when the user answers No after a success.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/convert_multiple_dlg.h"
#include "app/history.h"
#include "app/main_dlg.h"
#include "app/multiple_run.h"
#include "engine/convert.h"
#include "engine/device_names.h"
#include "engine/expand_text.h"
#include "engine/file_names.h"
#include "engine/folder_walk.h"
#include "framework/ascii.h"
#include "framework/clipboard.h"
#include "framework/file.h"
#include "framework/file_system.h"
#include "framework/handle.h"
#include "framework/message_box.h"
#include "framework/path.h"
#include "framework/wait_cursor.h"
#include "framework/win_app.h"
#include "resources/resource.h"

namespace {

void FocusOn(const CWnd& dlg, int id) { dlg.GetDlgItem(id).SetFocus(); }

CComboBox Box(const CWnd& dlg, int id) { return CComboBox(::GetDlgItem(dlg, id)); }

// The files a run converts, taken whole before any file changes, so that
// files written meanwhile in the folder cannot be met twice or added to the
// run. Without subfolders: every entry the search for the pattern finds, in
// the search's order, named by its full path (a pattern never matches a
// device). With them: the files that the pattern's file part matches in its
// folder and below, named by their paths below that folder.
std::vector<RunFile> FilesToConvert(const std::string& pattern, const std::string& folder, bool subfolders) {
  std::vector<RunFile> files;
  if (folder.empty()) return files;
  if (subfolders) {
    for (const std::string& below : ListFilesBelow(folder, PatternFilePart(pattern)))
      files.push_back({folder + below, below});
  } else {
    for (const FoundEntry& entry : FindEntriesOnDisk(pattern))
      files.push_back({folder + entry.m_strName, folder + entry.m_strName});
  }
  return files;
}

// Marks the main window's run for the life of the object.
class CRunMark {
 public:
  CRunMark(CMultipleRun*& mark, CMultipleRun* run) : m_mark(mark) { m_mark = run; }
  ~CRunMark() { m_mark = nullptr; }
  CRunMark(const CRunMark&) = delete;
  CRunMark& operator=(const CRunMark&) = delete;

 private:
  CMultipleRun*& m_mark;
};

// Refuses a device typed as the source or the destination; true when it did.
bool RefuseDevice(const CWnd& dlg, const std::string& text, const char* which, int box) {
  if (!IsDeviceName(text) && !IsDeviceName(FullPathOf(text))) return false;
  const std::string message = text + " is a device, not a file.  Please enter another " + which + " file name.";
  AfxMessageBox(message.c_str(), MB_OK | MB_ICONEXCLAMATION);
  FocusOn(dlg, box);
  return true;
}

// How often, and how far apart, the clipboard is asked for.
constexpr int kClipboardTries = 10;
constexpr DWORD kClipboardPause = 50;

// Clipboard failures: the step that failed, as the message shows it.
enum ClipboardError {
  kClipboardOk = 0,
  kOpenFailed = 1,
  kNoTextData = 2,
  kTextLockFailed = 3,
  kOutputAllocFailed = 4,  // only for a size the address space cannot hold: the output is the block
  kOutputGrowFailed = 5,   // not reached: the output is sized exactly before it is written
  kEmptyFailed = 6,
  kBlockAllocFailed = 7,
  kBlockLockOrSetFailed = 8,
  kException = 99,
};

// The clipboard's text in one of its two forms: 8-bit characters (CF_TEXT,
// by the byte rule) or UTF-16 (CF_UNICODETEXT, by the characters' columns).
struct AnsiClipboardText {
  using Unit = char;
  static constexpr UINT kFormat = CF_TEXT;
  static size_t Length(const Unit* text, size_t most) { return strnlen(text, most); }
  static ExpandedTextSize Measure(const Unit* text, size_t length, const TabStopList& stops) {
    return MeasureExpandedText(text, length, stops);
  }
  static void ExpandInto(const Unit* text, size_t length, const TabStopList& stops, Unit* output, size_t capacity) {
    ExpandTextInto(text, length, stops, output, capacity);
  }
};

struct UnicodeClipboardText {
  using Unit = char16_t;
  static_assert(sizeof(Unit) == sizeof(WCHAR), "the clipboard's UTF-16 units");
  static constexpr UINT kFormat = CF_UNICODETEXT;
  static size_t Length(const Unit* text, size_t most) {
    size_t length = 0;
    while (length < most && text[length] != 0) ++length;
    return length;
  }
  static ExpandedTextSize Measure(const Unit* text, size_t length, const TabStopList& stops) {
    return MeasureExpandedUtf16(text, length, stops);
  }
  static void ExpandInto(const Unit* text, size_t length, const TabStopList& stops, Unit* output, size_t capacity) {
    ExpandUtf16Into(text, length, stops, output, capacity);
  }
};

// Windows 95 and 98 keep no Unicode text on the clipboard: there the 8-bit
// text is the clipboard's own. Everywhere else the system offers the Unicode
// text for 8-bit text too, and only the Unicode text keeps every character.
bool HasUnicodeClipboard() { return !IsWindows9x(); }

// Converts the clipboard's text in place with `stops`, opening the clipboard
// for `owner`; `tabText`, the tab box's text the stops come from, is stored
// once the clipboard's text is held. Returns the error code, and the count
// through tabCount. The clipboard is closed and its text unlocked when this
// returns; only a block that SetClipboardData refuses comes after the
// clipboard was emptied. Nothing here calls back into the window.
template <typename Text>
int ConvertClipboardAs(HWND owner, const TabStopList& stops, const std::string& tabText,
                       ClipboardBlockAllocator allocate, uint64_t& tabCount) {
  using Unit = typename Text::Unit;
  try {
    // Another program (a clipboard manager, a remote desktop) may hold the
    // clipboard for a moment: tried for about half a second.
    CClipboard clipboard(owner, kClipboardTries, kClipboardPause);
    if (!clipboard.IsOpen()) return kOpenFailed;
    HANDLE data = GetClipboardData(Text::kFormat);
    if (data == nullptr) return kNoTextData;
    CGlobalLock text(data);
    if (text.Get() == nullptr) return kTextLockFailed;

    RememberTabText(tabText);
    // The text ends at its 0, or at the end of the block if a program left none.
    const Unit* input = static_cast<const Unit*>(text.Get());
    const size_t length = Text::Length(input, GlobalSize(data) / sizeof(Unit));

    const ExpandedTextSize measured = Text::Measure(input, length, stops);
    // Room for the final 0 too; a size the address space cannot hold fails as
    // an allocation would.
    const uint64_t units = measured.m_nBytes / sizeof(Unit);
    if (units >= SIZE_MAX / sizeof(Unit)) return kOutputAllocFailed;
    const size_t count = static_cast<size_t>(units) + 1;

    // The text is expanded straight into the clipboard block (a copy of a
    // few hundred megabytes more costs seconds), which is made and filled
    // before the clipboard is emptied: a block that cannot be had leaves the
    // user's clipboard as it was.
    CGlobalMemory block(allocate(count * sizeof(Unit)));
    if (block.Get() == nullptr) return kBlockAllocFailed;
    {
      CGlobalLock target(block.Get());
      if (target.Get() == nullptr) return kBlockLockOrSetFailed;
      Unit* output = static_cast<Unit*>(target.Get());
      Text::ExpandInto(input, length, stops, output, count - 1);
      output[count - 1] = 0;
    }
    tabCount = measured.m_nTabCount;
    text.Unlock();

    if (!EmptyClipboard()) return kEmptyFailed;
    // Once accepted, the block is the clipboard's; a refused one is freed here.
    if (SetClipboardData(Text::kFormat, block.Get()) == nullptr) return kBlockLockOrSetFailed;
    block.Release();
    return kClipboardOk;
  } catch (const std::exception&) {
    return kException;
  }
}

int ConvertClipboardText(HWND owner, const TabStopList& stops, const std::string& tabText,
                         ClipboardBlockAllocator allocate, uint64_t& tabCount) {
  if (HasUnicodeClipboard()) return ConvertClipboardAs<UnicodeClipboardText>(owner, stops, tabText, allocate, tabCount);
  return ConvertClipboardAs<AnsiClipboardText>(owner, stops, tabText, allocate, tabCount);
}

}  // namespace

HGLOBAL AllocateClipboardBlock(SIZE_T size) { return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE, size); }

void CMainDlg::OnConvertFile() {
  if (!AcceptTabText()) return;
  CComboBox sourceBox = Box(*this, IDC_MAIN_SOURCE);
  CComboBox destinationBox = Box(*this, IDC_MAIN_DESTINATION);

  const std::string sourceText = sourceBox.GetWindowText();
  if (sourceText.empty()) {
    AfxMessageBox("Please enter a source file name.", MB_OK | MB_ICONEXCLAMATION);
    FocusOn(*this, IDC_MAIN_SOURCE);
    return;
  }
  if (RefuseDevice(*this, sourceText, "source", IDC_MAIN_SOURCE)) return;
  std::string source;
  switch (m_pfnLookUpFile(sourceText, &source)) {
    case FileLookup::found: break;
    case FileLookup::tooLong:
      AfxMessageBox("The source file name is too long.  Please enter a shorter source file name.",
                    MB_OK | MB_ICONEXCLAMATION);
      FocusOn(*this, IDC_MAIN_SOURCE);
      return;
    case FileLookup::missing:
      AfxMessageBox(("Unable to open " + sourceText + ".  Please enter another source file name.").c_str(),
                    MB_OK | MB_ICONEXCLAMATION);
      FocusOn(*this, IDC_MAIN_SOURCE);
      RemoveFromHistory(sourceBox, kSourceHistory);
      return;
  }

  const std::string destinationText = destinationBox.GetWindowText();
  if (destinationText.empty()) {
    AfxMessageBox("Please enter a destination file name.", MB_OK | MB_ICONEXCLAMATION);
    FocusOn(*this, IDC_MAIN_DESTINATION);
    return;
  }
  if (RefuseDevice(*this, destinationText, "destination", IDC_MAIN_DESTINATION)) return;
  // An existing destination becomes its full path; a new one stays as typed.
  std::string destination = destinationText;
  const FileLookup destinationLookup = m_pfnLookUpFile(destinationText, &destination);
  if (destinationLookup == FileLookup::tooLong) {
    AfxMessageBox("The destination file name is too long.  Please enter a shorter destination file name.",
                  MB_OK | MB_ICONEXCLAMATION);
    FocusOn(*this, IDC_MAIN_DESTINATION);
    return;
  }
  bool destinationExists = destinationLookup == FileLookup::found;

  if (EqualIgnoringAsciiCase(destination, source)) {
    AfxMessageBox(
        "The source file and the destination file cannot be the same file.  Please enter a different "
        "destination file name.",
        MB_OK | MB_ICONEXCLAMATION);
    FocusOn(*this, IDC_MAIN_DESTINATION);
    return;
  }

  if (!destinationExists) {
    // Created empty as a test that it can be written, and only if nothing is
    // there: a name the lookup does not match but the file system opens
    // ("notes.txt::$DATA" for notes.txt) must never empty a file unasked.
    CHandle test(CreateFileNamed(destination.c_str(), GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL));
    const DWORD error = test.IsValid() ? ERROR_SUCCESS : GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
      // Something is there after all: it is an existing destination.
      destinationExists = true;
      destination = FullPathOf(destination);
    } else if (error != ERROR_SUCCESS) {
      AfxMessageBox(
          "The destination file cannot be opened for writing.  Please enter a different destination file name.",
          MB_OK | MB_ICONEXCLAMATION);
      FocusOn(*this, IDC_MAIN_DESTINATION);
      RemoveFromHistory(destinationBox, kDestinationHistory);
      return;
    }
  }
  if (destinationExists) {
    const std::string question =
        destination + "\nThe destination file already exists.\n\nDo you want to replace the existing file?";
    if (AfxMessageBox(question.c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES) {
      FocusOn(*this, IDC_MAIN_DESTINATION);
      return;
    }
  }

  const TabStopList stops = BuildTabStopList();
  int answer = IDYES;
  {
    // The hourglass from the start of the conversion until its box is answered.
    CWaitCursor wait;
    const ConvertResult result = ConvertFile(source, destination, stops);
    if (result.m_Outcome != ConvertOutcome::kConverted) {
      const std::string text =
          "Error converting file.\nSource: " + source + "\nDestination: " + destination + "\n\n" + result.m_strError;
      AfxMessageBox(text.c_str(), MB_OK | MB_ICONEXCLAMATION);
      return;
    }
    const std::string question = TabsConvertedText(result.m_nTabCount) + ".\n\nDo you want to convert another file?";
    answer = AfxMessageBox(question.c_str(), MB_YESNO | MB_ICONQUESTION);
  }
  AddToHistory(sourceBox, kSourceHistory);
  AddToHistory(destinationBox, kDestinationHistory);
  if (answer == IDNO) OnCancel();
}

void CMainDlg::ConvertMultipleFiles() {
  if (!AcceptTabText()) return;
  CComboBox patternBox = Box(*this, IDC_MAIN_PATTERN);
  const std::string pattern = patternBox.GetWindowText();
  if (pattern.empty()) {
    AfxMessageBox(
        "Please enter the source file names. Use the wildcard characters * and ? to specify the files to "
        "convert. For example: *.txt.",
        MB_OK | MB_ICONEXCLAMATION);
    FocusOn(*this, IDC_MAIN_PATTERN);
    return;
  }
  const TabStopList stops = BuildTabStopList();

  const bool subfolders = IsDlgButtonChecked(m_hWnd, IDC_MAIN_SUBFOLDERS) == BST_CHECKED;

  std::string report;
  {
    CWaitCursor wait;
    const std::vector<RunFile> files = FilesToConvert(pattern, FullFolderOf(pattern), subfolders);
    CMultipleRun run(m_hWnd);
    CRunMark mark(m_pRun, &run);
    report = run.Run(files, stops);
  }

  if (report.empty()) {
    AfxMessageBox("No files were converted. Check the source files path.", MB_OK | MB_ICONINFORMATION);
    FocusOn(*this, IDC_MAIN_PATTERN);
    RemoveFromHistory(patternBox, kMultipleFilesHistory);
    return;
  }
  AddToHistory(patternBox, kMultipleFilesHistory);
  CConvertMultipleDlg results(m_hWnd, m_pApp);
  results.m_strReport = report;
  if (results.DoModal() == IDCANCEL) OnCancel();
}

void CMainDlg::ConvertClipboard() {
  if (!AcceptTabText()) return;
  if (!IsClipboardFormatAvailable(CF_TEXT)) {
    AfxMessageBox("The clipboard does not contain any text.", MB_OK | MB_ICONINFORMATION);
    return;
  }
  // The tab box is read before the clipboard is opened: the conversion
  // holds the clipboard without calling back into this window.
  const std::string tabText = ReadTabText();
  TabStopList stops = TabStopsFromText(tabText);
  stops.SetLeadingOnly(ReadLeadingOnly());
  uint64_t tabCount = 0;
  const int error = ConvertClipboardText(m_hWnd, stops, tabText, m_pfnAllocateClipboardBlock, tabCount);
  if (error != kClipboardOk) {
    const std::string text = "There was an error converting the text on the clipboard (" + std::to_string(error) + ").";
    AfxMessageBox(text.c_str(), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  const std::string question =
      TabsConvertedText(tabCount) + ".\n\nDo you want to continue to use " + AfxGetAppTitle() + "?";
  if (AfxMessageBox(question.c_str(), MB_YESNO | MB_ICONQUESTION) == IDNO) OnCancel();
}
