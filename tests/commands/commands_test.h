#pragma once
// The main window's conversion commands on the real template, driven as a
// user would: texts typed into the boxes, the button pressed, the message
// boxes answered from a script.
//
// Message boxes of the commands (caption "Orvane Zenvero"):
//   Convert File (1018)
//     48 "Please enter a source file name."                          focus 1005
//     48 "<typed> is a device, not a file.  Please enter another source file name."   focus 1005 (also destination, 1006)
//     48 "The source file name is too long.  Please enter a shorter source file name."   focus 1005
//     48 "Unable to open <typed>.  Please enter another source file name."   focus 1005, name leaves "Source"
//     48 "Please enter a destination file name."                     focus 1006
//     48 "The destination file name is too long.  Please enter a shorter destination file name."   focus 1006
//     48 "The source file and the destination file cannot be the same file.  Please enter a different destination file name."   focus 1006
//     36 "<destination full path>\nThe destination file already exists.\n\nDo you want to replace the existing file?"   No: focus 1006
//     48 "The destination file cannot be opened for writing.  Please enter a different destination file name."   focus 1006, name leaves "Destination"
//     36 "<n> tabs converted.\n\nDo you want to convert another file?"   No ends the program
//     48 "Error converting file.\nSource: <s>\nDestination: <d>\n\n<cause>"
//   Convert Multiple Files (3)
//     48 "Please enter the source file names. Use the wildcard characters * and ? to specify the files to convert. For example: *.txt."   focus 1015
//     64 "No files were converted. Check the source files path."     focus 1015, pattern leaves "MultipleFiles"
//     dialog "Convert Multiple Files" (129), report in edit 1017, one line per entry:
//        "<full path>: <n> tabs converted\r\n"
//        "<full path>: Error converting file: <cause>\r\n"
//        "<full path>: <n> tabs converted - Copy failed. Tabs not converted.\r\n"
//        "<full path>: <n> tabs converted - The file could not be put back under its name. Its text is kept in <names>.\r\n"
//        "<full path>: A link to a file elsewhere. Tabs not converted.\r\n"
//        "<full path>: A file with more than one name (hard links). Tabs not converted.\r\n"
//        (a pattern never matches a device name)
//     Yes (IDOK) keeps the window, No (IDCANCEL) ends the program
//   Convert Clipboard (1010)
//     64 "The clipboard does not contain any text."
//     48 "There was an error converting the text on the clipboard (<code>)."  codes 1-8, 99
//     36 "<n> tabs converted.\n\nDo you want to continue to use Orvane Zenvero?"   No ends the program
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_dlg.h"
#include "tests/app/test_app.h"
#include "tests/support/scripted_boxes.h"
#include "tests/support/temp_dir.h"

constexpr UINT kRefusal = MB_OK | MB_ICONEXCLAMATION;
constexpr UINT kNotice = MB_OK | MB_ICONINFORMATION;
constexpr UINT kQuestion = MB_YESNO | MB_ICONQUESTION;

// Sets the current directory for the life of the object.
class CCurrentDirectory {
 public:
  explicit CCurrentDirectory(const std::string& folder) {
    GetCurrentDirectoryA(MAX_PATH, m_szPrevious);
    EXPECT_TRUE(SetCurrentDirectoryA(folder.c_str())) << folder;
  }
  ~CCurrentDirectory() { SetCurrentDirectoryA(m_szPrevious); }
  CCurrentDirectory(const CCurrentDirectory&) = delete;
  CCurrentDirectory& operator=(const CCurrentDirectory&) = delete;

 private:
  char m_szPrevious[MAX_PATH];
};

// The file's whole content ("<unreadable>" when it cannot be read).
std::string Content(const std::string& path);

// UTF-8 as UTF-16.
std::wstring Wide(const std::string& utf8);
// The whole file named in UTF-16 ("<unreadable>" when it cannot be read).
std::string ContentOf(const std::wstring& path);
// Writes data to the file named in UTF-16, replacing it; false on failure.
bool WriteFileNamed(const std::wstring& path, const std::string& data);
// A history entry ("Source1"...) as the registry holds it, read with the wide
// functions ("<no value>" when there is none).
std::wstring HistoryValue(const char* name);

// Gives the file the hidden attribute; false where the file system keeps no
// such bit (Wine keeps it in an extended attribute of the host's file).
bool MakeHidden(const std::string& path);
constexpr const char kNoHiddenBit[] =
    "the file system of the test folder keeps no hidden attribute, so keeping it cannot be checked";

// The tiny disk (64 KiB) that the test fixture mounts, as Wine reaches it;
// empty when there is none.
std::string SmallDisk();

// A fresh settings store, the application started, and the main window open
// modeless as the program's main window.
class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void SetText(int id, const std::string& text) { SetDlgItemTextA(m_Dlg, id, text.c_str()); }
  std::string Text(int id) const;
  void Press(int id) { SendDlgItemMessageA(m_Dlg, id, BM_CLICK, 0, 0); }
  // Whether the box (or its edit field) has the focus.
  bool HasFocus(int id) const;
  // The box's drop-down list, top to bottom.
  std::vector<std::string> List(int id) const;
  // The window still open (the program goes on).
  bool IsOpen() const { return m_Dlg.m_hWnd != nullptr && IsWindow(m_Dlg.m_hWnd); }

  CTempDir m_Dir;
  CMainDlg m_Dlg{&TestApp()};
};
