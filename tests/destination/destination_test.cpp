// The destination dialog and the folder chooser as the installer shows them:
// the real templates and controls, owned by a real setup backdrop, driven
// from inside their modal loops; message boxes answered through the
// message-box routine.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app_base/settings.h"
#include "installer/backdrop.h"
#include "installer/destination_dlg.h"
#include "resources/resource.h"
#include "tests/destination/dialog_script.h"
#include "tests/destination/host_space.h"
#include "tests/support/scripted_boxes.h"
#include "tests/support/temp_dir.h"

namespace {

const char kTitle[] = "Orvane Zenvero";
const char kBackdropCaption[] = "Orvane Zenvero Setup";
const char kDestinationCaption[] = "Choose Destination Location";
const char kChooserCaption[] = "Choose Folder";
const char kCurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char kRootRefused[] =
    "You cannot install this program in the root directory.  Please select a different "
    "directory.";

const int kSystemFolderControls[] = {1009, 1010, 1004, 1011, 1007, 1008};

std::string CreateQuestion(const std::string& name) {
  return "The folder \"" + name + "\" doesn't exist.  Do you want to create it?";
}

// Sets a control's text as typing would end up: the control notifies its
// dialog (EN_CHANGE) as it does for any change.
void SetItemText(HWND dialog, int id, const std::string& text) {
  SetDlgItemTextA(dialog, id, text.c_str());
}

// Puts "ProgramFilesDir" back as it was when the test is done with it.
class CProgramFilesDirKeeper {
 public:
  CProgramFilesDirKeeper() {
    char buffer[MAX_PATH] = "";
    m_bHad = ReadRegistryString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProgramFilesDir", buffer,
                                sizeof buffer);
    m_strValue = buffer;
  }
  ~CProgramFilesDirKeeper() {
    if (m_bHad) {
      WriteRegistryString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProgramFilesDir",
                          m_strValue.c_str());
    } else {
      DeleteRegistryValue(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProgramFilesDir");
    }
  }

 private:
  bool m_bHad;
  std::string m_strValue;
};


class DestinationDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    m_backdrop.ShowWithTitle(SW_SHOW, "Setup");
    ASSERT_EQ(kBackdropCaption, m_backdrop.GetWindowText());
  }

  // Runs the dialog as the driver does, with the files of `m_source`.
  bool Choose(std::string& folder) {
    return ChooseDestinationFolder(m_backdrop, folder, m_source.GetPath() + "\\", kTitle,
                                   m_FileNames);
  }

  // A source file of `size` bytes that the installation copies.
  void AddSourceFile(const std::string& name, int size) {
    ASSERT_TRUE(WriteWholeFile(m_source / name, std::string(size, 's')));
    m_FileNames.push_back(name);
  }

  CBackdropWindow m_backdrop;
  CScriptedBoxes m_boxes;
  CTempDir m_source;
  std::vector<std::string> m_FileNames;
  CDialogScript m_script;
  CCurrentDirectoryKeeper m_keeper;
};

TEST_F(DestinationDialog, ProposesTheProgramFilesFolderAndCancelKeepsTheCallersFolder) {
  CProgramFilesDirKeeper keeper;
  const std::string source = m_source.GetPath() + "\\";
  struct Case {
    std::string folder;          // on entry
    const char* programFiles;    // the registry value; null: none
    std::string shown;           // in 1014
  } cases[] = {
      {"", "C:\\Programs Here", "C:\\Programs Here\\Orvane Zenvero"},
      {"", nullptr, source},
      {"", "", source},
      {"D:\\Earlier\\Place", "C:\\Programs Here", "D:\\Earlier\\Place"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    if (c.programFiles != nullptr) {
      ASSERT_TRUE(WriteRegistryString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProgramFilesDir",
                                      c.programFiles));
    } else {
      DeleteRegistryValue(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProgramFilesDir");
    }
    std::string shown, intro;
    HWND owner = nullptr;
    bool systemBlockHidden = false, figuresVisible = false;
    m_script.OnShown(kDestinationCaption, [&](HWND dlg) {
      shown = ItemText(dlg, IDC_DEST_FOLDER);
      intro = ItemText(dlg, IDC_DEST_INTRO);
      owner = GetWindow(dlg, GW_OWNER);
      systemBlockHidden = true;
      for (int id : kSystemFolderControls) systemBlockHidden &= !ItemVisible(dlg, id);
      figuresVisible = ItemVisible(dlg, IDC_DEST_SPACE_NEEDED) &&
                       ItemVisible(dlg, IDC_DEST_SPACE_AVAILABLE) &&
                       ItemVisible(dlg, IDC_DEST_DRIVE);
      PostCommand(dlg, IDCANCEL);
    });
    std::string folder = c.folder;
    EXPECT_TRUE(Choose(folder));
    EXPECT_TRUE(m_script.Finished());
    EXPECT_EQ(c.folder, folder);
    EXPECT_EQ(c.shown, shown);
    EXPECT_EQ(
        "Setup will install the Orvane Zenvero files in the following folder.  If the folder "
        "does not exist, it will be created.",
        intro);
    EXPECT_EQ(static_cast<HWND>(m_backdrop), owner);
    EXPECT_TRUE(systemBlockHidden);
    EXPECT_TRUE(figuresVisible);
  }
  EXPECT_TRUE(m_boxes.m_Boxes.empty());
}

TEST_F(DestinationDialog, ShowsTheDriveTheFreeSpaceAndTheSpaceTheFilesNeed) {
  AddSourceFile("Velmora.exe", 1025);
  AddSourceFile("Readme.txt", 3000);
  CTempDir empty, larger, smaller;
  ASSERT_TRUE(WriteWholeFile(larger / "Velmora.exe", std::string(9000, 'l')));
  ASSERT_TRUE(WriteWholeFile(smaller / "Velmora.exe", std::string(25, 's')));
  ASSERT_TRUE(WriteWholeFile(smaller / "Readme.txt", std::string(1000, 's')));
  struct Case {
    std::string folder;
    const char* drive;
    const char* needed;
    bool knownSpace;
  } cases[] = {
      {empty.GetPath(), "C:", "4 KB", true},             // 4025 bytes
      {empty.GetPath() + "\\Orvane Zenvero", "C:", "4 KB", true},
      {larger.GetPath() + "\\", "C:", "0 KB", true},     // never below zero
      {smaller.GetPath(), "C:", "3 KB", true},           // 1000 + 2000 bytes of growth
      {"\\\\server\\share\\Orvane Zenvero", "", "4 KB", false},
      {"d:\\x", "D:", "4 KB", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    std::string drive, available, needed;
    m_script.OnShown(kDestinationCaption, [&](HWND dlg) {
      drive = ItemText(dlg, IDC_DEST_DRIVE);
      available = ItemText(dlg, IDC_DEST_SPACE_AVAILABLE);
      needed = ItemText(dlg, IDC_DEST_SPACE_NEEDED);
      PostCommand(dlg, IDCANCEL);
    });
    std::string folder = c.folder;
    EXPECT_TRUE(Choose(folder));
    EXPECT_TRUE(m_script.Finished());
    EXPECT_EQ(c.drive, drive);
    EXPECT_EQ(c.needed, needed);
    if (!c.knownSpace) {
      EXPECT_EQ("unknown", available);
      continue;
    }
    HostSpace host;
    ASSERT_TRUE(ReadHostSpace(c.drive[0], &host)) << kNoHostSpace;
    ASSERT_GT(available.size(), 3u);
    EXPECT_EQ(" KB", available.substr(available.size() - 3));
    EXPECT_TRUE(MatchesHostSpace(host, ShownKB(available))) << available;
  }
}

TEST_F(DestinationDialog, InstallRefusesDriveRootsAndAsksBeforeAMissingFolder) {
  ASSERT_TRUE(IsMissingFolder("C:\\Data"));
  HWND dialog = nullptr;
  struct Seen {
    bool open;
    std::string shown;
  };
  std::vector<Seen> seen;
  auto look = [&] {
    seen.push_back({IsWindow(dialog) && IsWindowVisible(dialog) != FALSE,
                    IsWindow(dialog) ? ItemText(dialog, IDC_DEST_FOLDER) : std::string()});
  };
  m_script.OnShown(kDestinationCaption, [&](HWND dlg) {
    dialog = dlg;
    for (const char* text : {"C:\\", "C:"}) {
      m_script.Later([=] { SetItemText(dlg, IDC_DEST_FOLDER, text); });
      PostCommand(dlg, IDOK);
      m_script.Later(look);
    }
    m_script.Later([&, dlg] {
      m_boxes.AnswerFromNowOn(IDNO);
      SetItemText(dlg, IDC_DEST_FOLDER, "");
      PostCommand(dlg, IDOK);
      m_script.Later(look);
      m_script.Later([&, dlg] {
        SetItemText(dlg, IDC_DEST_FOLDER, "C:\\Data\\");
        PostCommand(dlg, IDOK);
        m_script.Later(look);
        m_script.Later([&, dlg] {
          m_boxes.AnswerFromNowOn(IDYES);
          PostCommand(dlg, IDOK);
        });
      });
    });
  });
  std::string folder = "C:\\Somewhere";
  EXPECT_FALSE(Choose(folder));
  EXPECT_TRUE(m_script.Finished());
  EXPECT_EQ("C:\\Data\\", folder);  // as shown, the separator kept

  ASSERT_EQ(4u, seen.size());
  for (const Seen& s : seen) EXPECT_TRUE(s.open);
  EXPECT_EQ("C:\\", seen[0].shown);
  EXPECT_EQ("C:", seen[1].shown);
  EXPECT_EQ("", seen[2].shown);
  EXPECT_EQ("C:\\Data\\", seen[3].shown);

  struct Box {
    std::string text;
    UINT type;
  } expected[] = {
      {kRootRefused, MB_OK | MB_ICONEXCLAMATION},
      {kRootRefused, MB_OK | MB_ICONEXCLAMATION},
      {CreateQuestion(""), MB_YESNO | MB_ICONQUESTION},
      {CreateQuestion("C:\\Data"), MB_YESNO | MB_ICONQUESTION},
      {CreateQuestion("C:\\Data"), MB_YESNO | MB_ICONQUESTION},
  };
  ASSERT_EQ(std::size(expected), m_boxes.m_Boxes.size());
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(expected[i].text, m_boxes.m_Boxes[i].text) << i;
    EXPECT_EQ(expected[i].type, m_boxes.m_Boxes[i].type) << i;
    EXPECT_EQ(kBackdropCaption, m_boxes.m_Boxes[i].caption) << i;
    EXPECT_EQ(dialog, m_boxes.m_Boxes[i].owner) << i;
  }
  // Nothing was created: that is the driver's part.
  EXPECT_TRUE(IsMissingFolder("C:\\Data"));
}

TEST_F(DestinationDialog, InstallTakesAnExistingFolderAtOnceAndAFileNameAfterTheQuestion) {
  CTempDir dir;
  ASSERT_TRUE(WriteWholeFile(dir / "taken", "x"));
  struct Case {
    std::string text;
    size_t boxes;
  } cases[] = {
      {dir.GetPath() + "\\", 0},
      {dir / "taken", 1},
  };
  m_boxes.AnswerFromNowOn(IDYES);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    m_boxes.m_Boxes.clear();
    m_script.OnShown(kDestinationCaption, [&](HWND dlg) {
      SetItemText(dlg, IDC_DEST_FOLDER, c.text);
      PostCommand(dlg, IDOK);
    });
    std::string folder = "C:\\Before";
    EXPECT_FALSE(Choose(folder));
    EXPECT_TRUE(m_script.Finished());
    EXPECT_EQ(c.text, folder);
    ASSERT_EQ(c.boxes, m_boxes.m_Boxes.size());
    if (c.boxes != 0) {
      EXPECT_EQ(CreateQuestion(c.text), m_boxes.m_Boxes[0].text);
    }
  }
}

TEST_F(DestinationDialog, BrowseOpensInTheDeepestExistingFolderAndTakesTheTypedOne) {
  AddSourceFile("Velmora.exe", 1025);
  CTempDir dir;
  const std::string start = dir / "Orvane Zenvero";  // does not exist yet
  std::string chooserShown, chooserCurrent, fileName, destinationOwner;
  bool chooserOwned = false, hiddenAsTemplate = false;
  std::string shownAfter, driveAfter, availableAfter, neededAfter;
  HWND destination = nullptr;
  m_script.WatchText("Checking necessary disk space...");
  m_script.OnShown(kDestinationCaption, [&](HWND dlg) {
    destination = dlg;
    PostCommand(dlg, IDC_DEST_BROWSE);
    m_script.OnShown(kChooserCaption, [&, dlg](HWND chooser) {
      chooserShown = ItemText(chooser, IDC_CHOOSE_FOLDER);
      chooserCurrent = ItemText(chooser, IDC_CHOOSE_CURRENT_DIR);
      fileName = ItemText(chooser, IDC_CHOOSE_FILE_NAME);
      chooserOwned = GetWindow(chooser, GW_OWNER) == dlg;
      hiddenAsTemplate = true;
      for (int id : {IDC_CHOOSE_TYPE_LABEL, IDC_CHOOSE_FILE_NAME, IDC_CHOOSE_FILE_LIST,
                     IDC_CHOOSE_TYPE_COMBO}) {
        hiddenAsTemplate &= !ItemVisible(chooser, id);
      }
      SetItemText(chooser, IDC_CHOOSE_FOLDER, "e:\\new folder");
      PostCommand(chooser, IDOK);
      m_script.Later([&, dlg] {
        shownAfter = ItemText(dlg, IDC_DEST_FOLDER);
        driveAfter = ItemText(dlg, IDC_DEST_DRIVE);
        availableAfter = ItemText(dlg, IDC_DEST_SPACE_AVAILABLE);
        neededAfter = ItemText(dlg, IDC_DEST_SPACE_NEEDED);
        PostCommand(dlg, IDCANCEL);
      });
    });
  });
  std::string folder = start;
  EXPECT_TRUE(Choose(folder));
  EXPECT_TRUE(m_script.Finished());
  EXPECT_EQ(start, folder);  // the destination dialog was cancelled
  // The progress box came up while the figures were worked out: owned by the
  // backdrop while the dialog was being built, then by the dialog.
  ASSERT_EQ(2u, m_script.m_TextOwners.size());
  EXPECT_EQ(static_cast<HWND>(m_backdrop), m_script.m_TextOwners[0]);
  EXPECT_EQ(destination, m_script.m_TextOwners[1]);

  EXPECT_TRUE(chooserOwned);
  EXPECT_TRUE(hiddenAsTemplate);
  EXPECT_EQ(start, chooserShown);  // the full text, though it does not exist
  EXPECT_EQ("Junk", fileName);
  // The lists open in the deepest folder of the text that exists, and the
  // current directory stays there.
  EXPECT_EQ(Lower(dir.GetPath()), Lower(chooserCurrent));
  EXPECT_EQ(Lower(dir.GetPath()), Lower(CurrentDirectory()));

  EXPECT_EQ("e:\\new folder", shownAfter);
  EXPECT_EQ("E:", driveAfter);
  EXPECT_EQ("unknown", availableAfter);  // the prefix has no drive E:
  EXPECT_EQ("2 KB", neededAfter);
}

TEST_F(DestinationDialog, CancelInTheChooserKeepsTheFolderAndTheFigures) {
  const std::string start = m_source.GetPath();
  std::string shownAfter, neededAfter;
  m_script.OnShown(kDestinationCaption, [&](HWND dlg) {
    // A mark that a new space update would overwrite.
    SetItemText(dlg, IDC_DEST_SPACE_NEEDED, "mark");
    PostCommand(dlg, IDC_DEST_BROWSE);
    m_script.OnShown(kChooserCaption, [&, dlg](HWND chooser) {
      SetItemText(chooser, IDC_CHOOSE_FOLDER, "e:\\elsewhere");
      PostCommand(chooser, IDCANCEL);
      m_script.Later([&, dlg] {
        shownAfter = ItemText(dlg, IDC_DEST_FOLDER);
        neededAfter = ItemText(dlg, IDC_DEST_SPACE_NEEDED);
        PostCommand(dlg, IDCANCEL);
      });
    });
  });
  std::string folder = start;
  EXPECT_TRUE(Choose(folder));
  EXPECT_TRUE(m_script.Finished());
  EXPECT_EQ(start, folder);
  EXPECT_EQ(start, shownAfter);
  EXPECT_EQ("mark", neededAfter);
}

TEST_F(DestinationDialog, ChooserComposesTheFolderFromTheListSelection) {
  CTempDir dir;
  ASSERT_TRUE(CreateDirectoryA((dir / "alpha").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((dir / "alpha\\beta").c_str(), nullptr));
  const std::string alpha = Lower(dir / "alpha");

  std::vector<std::string> composed;
  auto select = [&](HWND chooser, int index) {
    HWND list = GetDlgItem(chooser, IDC_CHOOSE_FOLDER_LIST);
    SendMessageA(list, LB_SETCURSEL, index, 0);
    SendNotification(chooser, IDC_CHOOSE_FOLDER_LIST, LBN_SELCHANGE);
    composed.push_back(ItemText(chooser, IDC_CHOOSE_FOLDER));
  };
  auto find = [](HWND chooser, const char* item) {
    return static_cast<int>(SendDlgItemMessageA(chooser, IDC_CHOOSE_FOLDER_LIST, LB_FINDSTRINGEXACT,
                                                static_cast<WPARAM>(-1),
                                                reinterpret_cast<LPARAM>(item)));
  };
  std::string current;
  m_script.OnShown(kChooserCaption, [&](HWND chooser) {
    // The list as this platform fills it.
    current = Lower(ItemText(chooser, IDC_CHOOSE_CURRENT_DIR));
    HWND list = GetDlgItem(chooser, IDC_CHOOSE_FOLDER_LIST);
    char first[MAX_PATH] = "";
    SendMessageA(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(first));
    if (first[0] == '[') {
      select(chooser, find(chooser, "[beta]"));
      select(chooser, find(chooser, "[..]"));
    } else {
      select(chooser, find(chooser, "beta"));
      select(chooser, 0);
    }
    // The platform's tree form, with the current folder it goes with.
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (const char* item : {"c:\\", "program files", "tools", "data"}) {
      SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                   reinterpret_cast<LPARAM>(item));
    }
    SetItemText(chooser, IDC_CHOOSE_CURRENT_DIR, "c:\\program files\\tools");
    for (int index : {1, 2, 3, 0, 1}) select(chooser, index);
    // No selection changes nothing.
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SendNotification(chooser, IDC_CHOOSE_FOLDER_LIST, LBN_SELCHANGE);
    composed.push_back(ItemText(chooser, IDC_CHOOSE_FOLDER));
    PostCommand(chooser, IDOK);
  });
  std::string folder = dir / "alpha\\not yet";
  EXPECT_TRUE(ChooseFolder(m_backdrop, folder));
  EXPECT_TRUE(m_script.Finished());
  EXPECT_EQ(alpha, current);

  ASSERT_EQ(8u, composed.size());
  EXPECT_EQ(alpha + "\\beta", Lower(composed[0]));
  EXPECT_EQ(Lower(dir.GetPath()), Lower(composed[1]));
  EXPECT_EQ("c:\\program files", composed[2]);
  EXPECT_EQ("c:\\program files\\tools", composed[3]);
  EXPECT_EQ("c:\\program files\\tools\\data", composed[4]);
  EXPECT_EQ("c:\\", composed[5]);
  EXPECT_EQ("c:\\program files", composed[6]);
  EXPECT_EQ("c:\\program files", composed[7]);
  // OK returns the folder the list composed last.
  EXPECT_EQ("c:\\program files", folder);
}

}  // namespace
