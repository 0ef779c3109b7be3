// Convert File from outside: the user types a source and a destination name,
// presses "Convert &File" and answers the boxes; the files, the histories and
// the tab setting are checked afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/handle.h"
#include "tests/e2e/program_fixture.h"
#include "tests/settings/registry_probe.h"

namespace {

constexpr int kTabs = 1004, kSource = 1005, kDestination = 1006, kConvertFile = 1018;

const char kAnother[] = " tabs converted.\n\nDo you want to convert another file?";

// Types UTF-16 text into box `id` of the program's window, as a user of any
// language would (the 8-bit messages of this process could not carry it).
void TypeWide(HWND main, int id, const std::wstring& text) {
  HWND control = GetDlgItem(main, id);
  ASSERT_NE(nullptr, control);
  DWORD_PTR result = 0;
  ASSERT_TRUE(SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                                  5000, &result));
  PostMessageW(main, WM_COMMAND, MAKEWPARAM(id, CBN_EDITCHANGE), reinterpret_cast<LPARAM>(control));
}

std::string ReadNamed(const std::wstring& path) {
  CHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) return "<unreadable>";
  std::string data(GetFileSize(file.Get(), nullptr), '\0');
  DWORD read = 0;
  if (!data.empty() && !ReadFile(file.Get(), &data[0], static_cast<DWORD>(data.size()), &read, nullptr))
    return "<unreadable>";
  data.resize(read);
  return data;
}

// Makes the file `path` (a name in any script) holding `bytes`, as another
// program would.
void MakeNamedFile(const std::wstring& path, const std::string& bytes) {
  CHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  ASSERT_NE(INVALID_HANDLE_VALUE, file.Get());
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

// A value of the program's settings read with the wide functions.
std::wstring WideSetting(const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Orvane\\Zenvero\\Settings", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return L"<no key>";
  wchar_t value[512] = {};
  DWORD size = sizeof value - sizeof(wchar_t), type = 0;
  const LONG result = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS && type == REG_SZ ? value : L"<no value>";
}

std::wstring WideOf(const std::string& ansi) {
  std::wstring wide(ansi.size(), L'\0');
  const int size = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0],
                                       static_cast<int>(wide.size()));
  wide.resize(size);
  return wide;
}

// Puts UTF-16 text on the clipboard, as another program of any language does.
bool PutWideClipboard(const std::wstring& text) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  if (memory == nullptr) return false;
  std::memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(memory);
  for (int attempt = 0; attempt < 50 && !OpenClipboard(nullptr); ++attempt) Sleep(20);
  EmptyClipboard();
  const bool taken = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
  CloseClipboard();
  if (!taken) GlobalFree(memory);
  return taken;
}

// The edit field of combo box `id`.
HWND EditOf(HWND main, int id) { return FindWindowExW(GetDlgItem(main, id), nullptr, L"Edit", nullptr); }

// Pastes text into box `id` as a user does: Ctrl+V sends WM_PASTE to its edit field.
void PasteWide(HWND main, int id, const std::wstring& text) {
  HWND edit = EditOf(main, id);
  ASSERT_NE(nullptr, edit);
  ASSERT_TRUE(PutWideClipboard(text));
  DWORD_PTR result = 0;
  SendMessageTimeoutW(edit, EM_SETSEL, 0, -1, SMTO_NORMAL, 5000, &result);
  ASSERT_TRUE(SendMessageTimeoutW(edit, WM_PASTE, 0, 0, SMTO_NORMAL, 5000, &result));
}

// Types text into box `id` key by key: each UTF-16 unit a WM_CHAR.
void TypeChars(HWND main, int id, const std::wstring& text) {
  HWND edit = EditOf(main, id);
  ASSERT_NE(nullptr, edit);
  DWORD_PTR result = 0;
  SendMessageTimeoutW(edit, EM_SETSEL, 0, -1, SMTO_NORMAL, 5000, &result);
  for (wchar_t unit : text)
    ASSERT_TRUE(SendMessageTimeoutW(edit, WM_CHAR, unit, 1, SMTO_NORMAL, 5000, &result));
}

// The text of box `id` read in UTF-16.
std::wstring WideText(HWND main, int id) {
  wchar_t text[1024] = {};
  DWORD_PTR result = 0;
  SendMessageTimeoutW(GetDlgItem(main, id), WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000,
                      &result);
  return text;
}

using ConvertFileCommand = ProgramTest;

// The program as it is, and built without the UTF-8 code page in its
// manifest, as Windows before 10 version 1903 (and its long-term editions)
// run it: there the process's 8-bit code page is the system's, and names
// outside it reach their files only as Unicode text.
class NamesInAnyScript : public ProgramTest, public testing::WithParamInterface<bool> {
 protected:
  NamesInAnyScript() {
    if (GetParam()) m_strProgramFolder = LegacyCodePageFolder();
  }
  // A folder of the scratch folder named in Cyrillic, Greek and Japanese,
  // made anew.
  std::wstring ScriptFolder() {
    const std::wstring folder = WideOf(m_work.GetPath()) + L"\\\u041F\u0430\u043F\u043A\u0430 \u03B1\u03B2 \u65E5\u672C\\";
    EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    return folder;
  }
};

INSTANTIATE_TEST_SUITE_P(CodePages, NamesInAnyScript, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "WithoutTheUtf8CodePage" : "AsBuilt";
                         });

TEST_P(NamesInAnyScript, PastedAndTypedNamesReachTheFilesAndComeBackAfterARestart) {
  // Cyrillic, Greek and Japanese in the folder, an emoji in the file names.
  const std::wstring folder = ScriptFolder();
  const std::wstring source = folder + L"\u0416\u0443\u043A \U0001F600.txt";
  const std::wstring destination = folder + L"\u8A9E \u03B3 \U0001F600.txt";
  ASSERT_NO_FATAL_FAILURE(MakeNamedFile(source, "a\tb"));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(Type(kTabs, "4"));
  ASSERT_NO_FATAL_FAILURE(PasteWide(m_hMain, kSource, source));
  ASSERT_NO_FATAL_FAILURE(TypeChars(m_hMain, kDestination, destination));
  EXPECT_TRUE(WideText(m_hMain, kSource) == source);
  EXPECT_TRUE(WideText(m_hMain, kDestination) == destination);
  ASSERT_NO_FATAL_FAILURE(Press(kConvertFile));
  ASSERT_NO_FATAL_FAILURE(ExpectQuestion(std::string("1") + kAnother, IDNO));
  ASSERT_NO_FATAL_FAILURE(ExpectProgramEnds());
  EXPECT_EQ("a   b", ReadNamed(destination));
  EXPECT_TRUE(WideSetting(L"Source1") == source);
  EXPECT_TRUE(WideSetting(L"Destination1") == destination);

  // After a restart the histories show the names unchanged.
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  EXPECT_TRUE(WideText(m_hMain, kSource) == source);
  EXPECT_TRUE(WideText(m_hMain, kDestination) == destination);
}

// A file chosen in the Browse dialog by a name typed there key by key
// reaches the source box whole and converts.
TEST_P(NamesInAnyScript, AFileChosenInTheBrowseDialogReachesItsBox) {
  constexpr int kBrowseSource = 1001, kDialogNameBox = 0x47C;  // cmb13 of the Open dialog
  const std::wstring folder = ScriptFolder();
  const std::wstring source = folder + L"\u0416\u0443\u043A \U0001F600.txt";
  const std::wstring destination = folder + L"\u8A9E \u03B3.txt";
  ASSERT_NO_FATAL_FAILURE(MakeNamedFile(source, "\tz"));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(Press(kBrowseSource));
  HWND browse = m_app.WaitForWindow({"Browse", "#32770"});
  ASSERT_NE(nullptr, browse) << "no Browse dialog";
  // The name box is an extended combo box: its edit field lies two levels
  // down (in a combo box inside it).
  HWND nameEdit = nullptr;
  if (HWND nameBox = GetDlgItem(browse, kDialogNameBox)) {
    EnumChildWindows(
        nameBox,
        [](HWND child, LPARAM found) -> BOOL {
          wchar_t name[16] = {};
          GetClassNameW(child, name, 16);
          if (lstrcmpiW(name, L"Edit") != 0) return TRUE;
          *reinterpret_cast<HWND*>(found) = child;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&nameEdit));
  }
  ASSERT_NE(nullptr, nameEdit) << "no name box";
  DWORD_PTR result = 0;
  SendMessageTimeoutW(nameEdit, EM_SETSEL, 0, -1, SMTO_NORMAL, 5000, &result);
  for (wchar_t unit : source)
    ASSERT_TRUE(SendMessageTimeoutW(nameEdit, WM_CHAR, unit, 1, SMTO_NORMAL, 5000, &result));
  ASSERT_TRUE(PressButton(browse, IDOK));
  ASSERT_TRUE(WaitForWindowGone(browse));
  ASSERT_NO_FATAL_FAILURE(ExpectMainWindowBack());
  EXPECT_TRUE(WideText(m_hMain, kSource) == source);
  ASSERT_NO_FATAL_FAILURE(TypeChars(m_hMain, kDestination, destination));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertFile));
  ASSERT_NO_FATAL_FAILURE(ExpectQuestion(std::string("1") + kAnother, IDNO));
  ASSERT_NO_FATAL_FAILURE(ExpectProgramEnds());
  EXPECT_EQ("        z", ReadNamed(destination));
  EXPECT_TRUE(WideSetting(L"Source1") == source);
}

TEST_P(NamesInAnyScript, APastedPatternFindsTheFilesOfItsFolder) {
  constexpr int kPattern = 1015, kConvertMultiple = 3;
  const std::wstring folder = ScriptFolder();
  const std::wstring file = folder + L"\u8A9E \U0001F600.txt";
  ASSERT_NO_FATAL_FAILURE(MakeNamedFile(file, "\tx"));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  const std::wstring pattern = folder + L"*.txt";
  ASSERT_NO_FATAL_FAILURE(PasteWide(m_hMain, kPattern, pattern));
  EXPECT_TRUE(WideText(m_hMain, kPattern) == pattern);
  ASSERT_NO_FATAL_FAILURE(Press(kConvertMultiple));
  HWND results = m_app.WaitForWindow({"Convert Multiple Files", "#32770"});
  ASSERT_NE(nullptr, results) << "no results";
  ASSERT_TRUE(PressButton(results, IDCANCEL));
  ASSERT_NO_FATAL_FAILURE(ExpectProgramEnds());
  EXPECT_EQ("        x", ReadNamed(file));
  EXPECT_TRUE(WideSetting(L"MultipleFiles1") == pattern);
}

TEST_F(ConvertFileCommand, NamesInAnyLanguageReachTheFilesAndTheHistories) {
  const std::wstring source = L"\u0416\u0443\u043A \u65E5\u672C.txt";  // Cyrillic, Japanese
  const std::wstring destination = L"\u03B1\u03B2 \u8A9E.txt";           // Greek, Japanese
  const std::wstring folder = WideOf(m_work.GetPath()) + L"\\";
  ASSERT_NO_FATAL_FAILURE(MakeNamedFile(folder + source, "a\tb\r\n\tc"));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(Type(kTabs, "4"));
  ASSERT_NO_FATAL_FAILURE(TypeWide(m_hMain, kSource, source));
  ASSERT_NO_FATAL_FAILURE(TypeWide(m_hMain, kDestination, destination));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertFile));
  ASSERT_NO_FATAL_FAILURE(ExpectQuestion(std::string("2") + kAnother, IDNO));
  ASSERT_NO_FATAL_FAILURE(ExpectProgramEnds());
  EXPECT_EQ("a   b\r\n    c", ReadNamed(folder + destination));
  EXPECT_EQ("a\tb\r\n\tc", ReadNamed(folder + source));
  EXPECT_TRUE(WideSetting(L"Source1") == source);
  EXPECT_TRUE(WideSetting(L"Destination1") == destination);
}

TEST_F(ConvertFileCommand, ConvertsOneFileAndAnotherThenNoEndsTheProgram) {
  ASSERT_TRUE(WriteWholeFile(WorkFile("src.txt"), "a\tb\r\n\tc\td\r\n"));
  ASSERT_TRUE(WriteWholeFile(WorkFile("second.txt"), "\t\tx"));
  ASSERT_NO_FATAL_FAILURE(StartProgram());

  ASSERT_NO_FATAL_FAILURE(Type(kTabs, "4"));
  ASSERT_NO_FATAL_FAILURE(Type(kSource, "src.txt"));
  ASSERT_NO_FATAL_FAILURE(Type(kDestination, "out.txt"));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertFile));
  ASSERT_NO_FATAL_FAILURE(ExpectQuestion(std::string("3") + kAnother, IDYES));
  ASSERT_NO_FATAL_FAILURE(ExpectMainWindowBack());
  EXPECT_EQ("a   b\r\n    c   d\r\n", ReadWorkFile("out.txt"));
  EXPECT_EQ("a\tb\r\n\tc\td\r\n", ReadWorkFile("src.txt"));
  EXPECT_EQ("4", Setting("Tabs"));
  EXPECT_EQ(1, SettingNumber("SourceNum"));
  EXPECT_EQ("src.txt", Setting("Source1"));
  EXPECT_EQ(1, SettingNumber("DestinationNum"));
  EXPECT_EQ("out.txt", Setting("Destination1"));
  EXPECT_EQ(std::vector<std::string>{"src.txt"}, GetComboItems(GetDlgItem(m_hMain, kSource)));

  // The second file with another width; No still records both names first.
  ASSERT_NO_FATAL_FAILURE(Type(kTabs, "2"));
  ASSERT_NO_FATAL_FAILURE(Type(kSource, "second.txt"));
  ASSERT_NO_FATAL_FAILURE(Type(kDestination, "out2.txt"));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertFile));
  ASSERT_NO_FATAL_FAILURE(ExpectQuestion(std::string("2") + kAnother, IDNO));
  ASSERT_NO_FATAL_FAILURE(ExpectProgramEnds());
  EXPECT_EQ("    x", ReadWorkFile("out2.txt"));
  EXPECT_EQ("2", Setting("Tabs"));
  EXPECT_EQ(2, SettingNumber("SourceNum"));
  EXPECT_EQ("second.txt", Setting("Source1"));
  EXPECT_EQ("src.txt", Setting("Source2"));
  EXPECT_EQ(2, SettingNumber("DestinationNum"));
  EXPECT_EQ("out2.txt", Setting("Destination1"));
  EXPECT_EQ("out.txt", Setting("Destination2"));
}

TEST_F(ConvertFileCommand, ConvertsTheFileNamedOnTheCommandLine) {
  // As when a file is dropped on the program's icon.
  ASSERT_TRUE(WriteWholeFile(WorkFile("my notes.txt"), "x\ty"));
  SetRawDword(HKEY_CURRENT_USER, kSettingsPath, "SourceNum", 1);
  SetRawString(HKEY_CURRENT_USER, kSettingsPath, "Source1", "remembered.txt");
  ASSERT_NO_FATAL_FAILURE(StartProgram("\"my notes.txt\""));
  EXPECT_EQ("my notes.txt", GetControlText(m_hMain, kSource));
  ASSERT_NO_FATAL_FAILURE(Type(kDestination, "out.txt"));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertFile));
  ASSERT_NO_FATAL_FAILURE(ExpectQuestion(std::string("1") + kAnother, IDNO));
  ASSERT_NO_FATAL_FAILURE(ExpectProgramEnds());
  EXPECT_EQ("x       y", ReadWorkFile("out.txt"));
  EXPECT_EQ("my notes.txt", Setting("Source1"));
  EXPECT_EQ("remembered.txt", Setting("Source2"));
}

TEST_F(ConvertFileCommand, RefusesBadNamesWithTheFocusOnTheirBox) {
  ASSERT_TRUE(WriteWholeFile(WorkFile("src.txt"), "\tx"));
  SetRawDword(HKEY_CURRENT_USER, kSettingsPath, "SourceNum", 2);
  SetRawString(HKEY_CURRENT_USER, kSettingsPath, "Source1", "missing.txt");
  SetRawString(HKEY_CURRENT_USER, kSettingsPath, "Source2", "other.txt");
  SetRawDword(HKEY_CURRENT_USER, kSettingsPath, "DestinationNum", 1);
  SetRawString(HKEY_CURRENT_USER, kSettingsPath, "Destination1", "no folder\\out.txt");
  ASSERT_NO_FATAL_FAILURE(StartProgram());

  const std::string same =
      "The source file and the destination file cannot be the same file.  Please enter a different "
      "destination file name.";
  struct Case {
    std::string source, destination, message;
    int focus;
  } cases[] = {
      {"", "out.txt", "Please enter a source file name.", kSource},
      {"missing.txt", "out.txt", "Unable to open missing.txt.  Please enter another source file name.", kSource},
      {"src.txt", "", "Please enter a destination file name.", kDestination},
      {"src.txt", "SRC.TXT", same, kDestination},
      {"src.txt", WorkFile("src.txt"), same, kDestination},
      {"src.txt", "no folder\\out.txt",
       "The destination file cannot be opened for writing.  Please enter a different destination file name.",
       kDestination},
  };
  // Every refusal leaves the window open for the next attempt.
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    ASSERT_NO_FATAL_FAILURE(Type(kSource, c.source));
    ASSERT_NO_FATAL_FAILURE(Type(kDestination, c.destination));
    ASSERT_NO_FATAL_FAILURE(Press(kConvertFile));
    ASSERT_NO_FATAL_FAILURE(ExpectNotice(c.message, c.focus));
    // The boxes keep what was typed.
    EXPECT_EQ(c.source, GetControlText(m_hMain, kSource));
    EXPECT_EQ(c.destination, GetControlText(m_hMain, kDestination));
  }
  EXPECT_FALSE(FileExists(WorkFile("out.txt")));
  EXPECT_EQ("\tx", ReadWorkFile("src.txt"));
  // Nothing was converted: no tab setting; the unusable names left their
  // histories (whose count is then the longest history, 10).
  EXPECT_FALSE(HasSetting("Tabs"));
  EXPECT_EQ(std::vector<std::string>{"other.txt"}, GetComboItems(GetDlgItem(m_hMain, kSource)));
  EXPECT_EQ(10, SettingNumber("SourceNum"));
  EXPECT_EQ("other.txt", Setting("Source1"));
  EXPECT_FALSE(HasSetting("Source2"));
  EXPECT_TRUE(GetComboItems(GetDlgItem(m_hMain, kDestination)).empty());
  EXPECT_EQ(10, SettingNumber("DestinationNum"));
  EXPECT_FALSE(HasSetting("Destination1"));
}

TEST_F(ConvertFileCommand, ReplacesAnExistingDestinationOnlyAfterYes) {
  ASSERT_TRUE(WriteWholeFile(WorkFile("src.txt"), "\tx"));
  ASSERT_TRUE(WriteWholeFile(WorkFile("out.txt"), "old"));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(Type(kSource, "src.txt"));
  ASSERT_NO_FATAL_FAILURE(Type(kDestination, "out.txt"));
  const std::string replace =
      WorkFile("out.txt") + "\nThe destination file already exists.\n\nDo you want to replace the existing file?";

  ASSERT_NO_FATAL_FAILURE(Press(kConvertFile));
  ASSERT_NO_FATAL_FAILURE(ExpectQuestion(replace, IDNO));
  ASSERT_NO_FATAL_FAILURE(ExpectMainWindowBack());
  ExpectFocusOn(kDestination);
  EXPECT_EQ("old", ReadWorkFile("out.txt"));
  EXPECT_FALSE(HasSetting("Tabs"));

  ASSERT_NO_FATAL_FAILURE(Press(kConvertFile));
  ASSERT_NO_FATAL_FAILURE(ExpectQuestion(replace, IDYES));
  ASSERT_NO_FATAL_FAILURE(ExpectQuestion(std::string("1") + kAnother, IDYES));
  ASSERT_NO_FATAL_FAILURE(ExpectMainWindowBack());
  EXPECT_EQ("        x", ReadWorkFile("out.txt"));
  EXPECT_EQ("8", Setting("Tabs"));
  EXPECT_EQ("out.txt", Setting("Destination1"));
}

TEST_F(ConvertFileCommand, ReportsASourceHeldOpenForWritingAndKeepsTheEmptyDestination) {
  ASSERT_TRUE(WriteWholeFile(WorkFile("src.txt"), "\tx"));
  // Another program writes the source and lets others only read it.
  CHandle writer(CreateFileA(WorkFile("src.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(INVALID_HANDLE_VALUE, writer.Get());
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(Type(kSource, "src.txt"));
  ASSERT_NO_FATAL_FAILURE(Type(kDestination, "new.txt"));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertFile));
  ExpectNotice("Error converting file.\nSource: " + WorkFile("src.txt") +
               "\nDestination: new.txt\n\nA sharing violation occurred while accessing " + WorkFile("src.txt") +
               ".");
  writer.Close();
  // The test creation of the destination stays; the histories stay as they were.
  EXPECT_TRUE(FileExists(WorkFile("new.txt")));
  EXPECT_EQ("", ReadWorkFile("new.txt"));
  EXPECT_EQ("\tx", ReadWorkFile("src.txt"));
  EXPECT_EQ("8", Setting("Tabs"));
  EXPECT_FALSE(HasSetting("SourceNum"));
  EXPECT_FALSE(HasSetting("DestinationNum"));
}

}  // namespace
