// Whole folders from outside: the "Include subfolders" check box on and off
// over a tree with nested folders, a folder of version control, links to
// folders inside and outside the tree, makefiles and tab-separated data; a
// long run cancelled at several moments; files and folders dropped on the
// window's boxes.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "framework/handle.h"
#include "tests/e2e/program_fixture.h"
#include "tests/settings/registry_probe.h"
#include "tests/support/host_links.h"

namespace {

constexpr int kSource = 1005, kDestination = 1006, kPattern = 1015, kConvertMultiple = 3, kConvertFile = 1018,
              kConvertClipboard = 1010,
              kReport = 1017, kSubfolders = 1021, kProgressFile = 1022, kProgressCount = 1023;
constexpr char kKept[] = ": Tabs are part of this file's format. Tabs not converted.";

bool IsChecked(HWND dialog, int id) {
  DWORD_PTR state = 0;
  SendMessageTimeoutA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, SMTO_NORMAL, 5000, &state);
  return state == BST_CHECKED;
}

// The report's lines as they stand (the last one ends with a line end too).
std::vector<std::string> LinesOf(const std::string& report) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = report.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(report.substr(start, end - start));
  EXPECT_EQ(report.size(), start) << "the report's last line has no line end: " << report;
  return lines;
}

std::vector<std::string> Sorted(std::vector<std::string> lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

class WholeFolders : public ProgramTest {
 protected:
  // Waits for the results dialog and returns its report's lines, in order.
  std::vector<std::string> Results(HWND* results) {
    *results = m_app.WaitForWindow({"Convert Multiple Files", "#32770"}, 120000);
    if (*results == nullptr) {
      ADD_FAILURE() << "no results dialog";
      return {};
    }
    return LinesOf(GetControlText(*results, kReport));
  }
  void CloseResults(HWND results) {
    ASSERT_TRUE(PressButton(results, IDOK));
    ASSERT_TRUE(WaitForWindowGone(results));
    ASSERT_NO_FATAL_FAILURE(ExpectMainWindowBack());
  }
  void Write(const std::string& name, const std::string& text) {
    ASSERT_TRUE(WriteWholeFile(WorkFile(name), text)) << name;
  }
  void Folder(const std::string& name) { ASSERT_TRUE(CreateDirectoryA(WorkFile(name).c_str(), nullptr)) << name; }
};

// A link to a folder made on the host, when Wine shows it as a reparse
// point (as Wine 8 does); false, with the reason printed, otherwise.
bool MakeFolderLink(const std::string& link, const std::string& target) {
  if (!MakeHostSymbolicLink(link, target)) {
    std::printf("no host link can be made here\n");
    return false;
  }
  const CFindFile find(link.c_str());
  const DWORD attributes = find.IsValid() ? find.Data().dwFileAttributes : 0;
  std::printf("a host link to a folder as Wine shows it: attributes %lx\n", attributes);
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    RemoveHostLink(link);
    return false;
  }
  return true;
}

TEST_F(WholeFolders, TheCheckBoxWalksTheTreeButNotVersionControlOrLinksAndIsRemembered) {
  ASSERT_NO_FATAL_FAILURE(Folder("tree"));
  ASSERT_NO_FATAL_FAILURE(Folder("tree\\sub"));
  ASSERT_NO_FATAL_FAILURE(Folder("tree\\sub\\deep"));
  ASSERT_NO_FATAL_FAILURE(Folder("tree\\.git"));
  ASSERT_NO_FATAL_FAILURE(Folder("tree\\.git\\refs"));
  ASSERT_NO_FATAL_FAILURE(Folder("tree\\sub\\.Svn"));
  ASSERT_NO_FATAL_FAILURE(Folder("outside"));
  ASSERT_NO_FATAL_FAILURE(Write("tree\\a.txt", "\ta"));
  ASSERT_NO_FATAL_FAILURE(Write("tree\\sub\\b.txt", "\tb"));
  ASSERT_NO_FATAL_FAILURE(Write("tree\\sub\\deep\\c.txt", "c\tc\tc"));
  ASSERT_NO_FATAL_FAILURE(Write("tree\\.git\\config.txt", "\tgit"));
  ASSERT_NO_FATAL_FAILURE(Write("tree\\.git\\refs\\head.txt", "\tref"));
  ASSERT_NO_FATAL_FAILURE(Write("tree\\sub\\.Svn\\entries.txt", "\tsvn"));
  ASSERT_NO_FATAL_FAILURE(Write("outside\\o.txt", "\tout"));
  // Links to folders: one back to the tree's top (a walk that followed it
  // would meet every folder again, without end), one to a folder outside.
  const bool links = MakeFolderLink(WorkFile("tree\\sub\\back"), WorkFile("tree")) &&
                     MakeFolderLink(WorkFile("tree\\out"), WorkFile("outside"));
  if (!links) std::printf("Wine shows no link to a folder here: the links are left out (the walk's own test has them)\n");

  ASSERT_NO_FATAL_FAILURE(StartProgram());
  EXPECT_FALSE(IsChecked(m_hMain, kSubfolders)) << "checked on a first start";
  EXPECT_FALSE(HasSetting("IncludeSubfolders"));

  // Unchecked: the pattern's folder only, each file by its full path.
  ASSERT_NO_FATAL_FAILURE(Type(kPattern, "tree\\*.txt"));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertMultiple));
  HWND results = nullptr;
  EXPECT_EQ(std::vector<std::string>{WorkFile("tree\\a.txt") + ": 1 tabs converted"}, Results(&results));
  ASSERT_NE(nullptr, results);
  ASSERT_NO_FATAL_FAILURE(CloseResults(results));
  EXPECT_EQ("\tb", ReadWorkFile("tree\\sub\\b.txt"));

  // Checked: every folder below, each file by its path below the pattern's folder.
  ASSERT_NO_FATAL_FAILURE(Press(kSubfolders));
  ASSERT_TRUE(WaitUntil([&] { return IsChecked(m_hMain, kSubfolders); }));
  ASSERT_TRUE(WaitUntil([&] { return SettingNumber("IncludeSubfolders") == 1; }));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertMultiple));
  EXPECT_EQ(Sorted({"a.txt: 0 tabs converted", "sub\\b.txt: 1 tabs converted",
                    "sub\\deep\\c.txt: 2 tabs converted"}),
            Sorted(Results(&results)));
  ASSERT_NE(nullptr, results);
  ASSERT_NO_FATAL_FAILURE(CloseResults(results));
  EXPECT_EQ("        b", ReadWorkFile("tree\\sub\\b.txt"));
  EXPECT_EQ("c       c       c", ReadWorkFile("tree\\sub\\deep\\c.txt"));
  EXPECT_EQ("\tgit", ReadWorkFile("tree\\.git\\config.txt"));
  EXPECT_EQ("\tref", ReadWorkFile("tree\\.git\\refs\\head.txt"));
  EXPECT_EQ("\tsvn", ReadWorkFile("tree\\sub\\.Svn\\entries.txt"));
  EXPECT_EQ("\tout", ReadWorkFile("outside\\o.txt"));

  // Remembered: checked at the next start; unchecked again, and remembered so.
  m_app.Kill();
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  EXPECT_TRUE(IsChecked(m_hMain, kSubfolders));
  ASSERT_NO_FATAL_FAILURE(Press(kSubfolders));
  ASSERT_TRUE(WaitUntil([&] { return SettingNumber("IncludeSubfolders") == 0; }));
  m_app.Kill();
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  EXPECT_FALSE(IsChecked(m_hMain, kSubfolders));
  if (links) {
    EXPECT_TRUE(RemoveHostLink(WorkFile("tree\\sub\\back")));
    EXPECT_TRUE(RemoveHostLink(WorkFile("tree\\out")));
  }
}

TEST_F(WholeFolders, MakefilesAndTabSeparatedDataKeepTheirTabsButConvertFileConvertsThem) {
  ASSERT_NO_FATAL_FAILURE(Folder("p"));
  ASSERT_NO_FATAL_FAILURE(Folder("p\\src"));
  ASSERT_NO_FATAL_FAILURE(Write("p\\Makefile", "all:\n\tcc -o a a.c\n"));
  ASSERT_NO_FATAL_FAILURE(Write("p\\GNUmakefile", "x:\n\ttrue\n"));
  ASSERT_NO_FATAL_FAILURE(Write("p\\src\\rules.mk", "y:\n\ttrue\n"));
  ASSERT_NO_FATAL_FAILURE(Write("p\\src\\BUILD.MAK", "z:\n\ttrue\n"));
  ASSERT_NO_FATAL_FAILURE(Write("p\\src\\data.tsv", "a\tb\n1\t2\n"));
  ASSERT_NO_FATAL_FAILURE(Write("p\\src\\main.c", "int\tmain;\n"));
  SetRawDword(HKEY_CURRENT_USER, kSettingsPath, "IncludeSubfolders", 1);
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_TRUE(IsChecked(m_hMain, kSubfolders));
  ASSERT_NO_FATAL_FAILURE(Type(kPattern, WorkFile("p\\*")));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertMultiple));
  HWND results = nullptr;
  EXPECT_EQ(Sorted({std::string("GNUmakefile") + kKept, std::string("Makefile") + kKept,
                    std::string("src\\BUILD.MAK") + kKept, std::string("src\\data.tsv") + kKept,
                    std::string("src\\main.c: 1 tabs converted"), std::string("src\\rules.mk") + kKept}),
            Sorted(Results(&results)));
  ASSERT_NE(nullptr, results);
  ASSERT_NO_FATAL_FAILURE(CloseResults(results));
  EXPECT_EQ("all:\n\tcc -o a a.c\n", ReadWorkFile("p\\Makefile"));
  EXPECT_EQ("a\tb\n1\t2\n", ReadWorkFile("p\\src\\data.tsv"));
  EXPECT_EQ("int     main;\n", ReadWorkFile("p\\src\\main.c"));

  // The same names in the folder alone, without subfolders: full paths.
  ASSERT_NO_FATAL_FAILURE(Press(kSubfolders));
  ASSERT_NO_FATAL_FAILURE(Type(kPattern, WorkFile("p\\*make*")));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertMultiple));
  EXPECT_EQ(Sorted({WorkFile("p\\GNUmakefile") + kKept, WorkFile("p\\Makefile") + kKept}), Sorted(Results(&results)));
  ASSERT_NE(nullptr, results);
  ASSERT_NO_FATAL_FAILURE(CloseResults(results));

  // Named on its own, a makefile is converted: the user asked for that file.
  ASSERT_NO_FATAL_FAILURE(Type(kSource, WorkFile("p\\Makefile")));
  ASSERT_NO_FATAL_FAILURE(Type(kDestination, WorkFile("spaces.mk")));
  ASSERT_NO_FATAL_FAILURE(Press(kConvertFile));
  ASSERT_NO_FATAL_FAILURE(ExpectQuestion("1 tabs converted.\n\nDo you want to convert another file?", IDYES));
  ASSERT_NO_FATAL_FAILURE(ExpectMainWindowBack());
  EXPECT_EQ("all:\n        cc -o a a.c\n", ReadWorkFile("spaces.mk"));
}

// The DROPFILES block of a drop: the point in the main window's client
// area, the names in UTF-16.
std::string DropBlock(POINT point, const std::vector<std::string>& paths) {
  std::wstring names;
  for (const std::string& path : paths) {
    const int units = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(units, L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], units);
    names += wide;  // with its 0
  }
  names += L'\0';
  DROPFILES header = {};
  header.pFiles = sizeof(DROPFILES);
  header.pt = point;
  header.fNC = FALSE;
  header.fWide = TRUE;
  std::string block(reinterpret_cast<const char*>(&header), sizeof header);
  block.append(reinterpret_cast<const char*>(names.data()), names.size() * sizeof(WCHAR));
  return block;
}

// A drop as the system hands one to the program: the block in the
// program's own memory (a block there is a fixed memory handle for
// GlobalLock), posted as WM_DROPFILES. Returns the block, for FreeDrop
// once the drop is taken (the program's GlobalFree cannot free it).
void* PostDrop(const CDrivenProcess& app, HWND main, POINT point, const std::vector<std::string>& paths) {
  const std::string block = DropBlock(point, paths);
  void* remote = VirtualAllocEx(app.GetHandle(), nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  EXPECT_NE(nullptr, remote) << GetLastError();
  if (remote == nullptr) return nullptr;
  EXPECT_TRUE(WriteProcessMemory(app.GetHandle(), remote, block.data(), block.size(), nullptr));
  EXPECT_TRUE(PostMessageA(main, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0));
  return remote;
}

void FreeDrop(const CDrivenProcess& app, void* block) {
  if (block != nullptr) VirtualFreeEx(app.GetHandle(), block, 0, MEM_RELEASE);
}

// The centre of control `id` in the main window's client area; a point on
// no control for 0.
POINT PointOf(HWND main, int id) {
  if (id == 0) return {4, 4};
  RECT rect;
  GetWindowRect(GetDlgItem(main, id), &rect);
  POINT point = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  ScreenToClient(main, &point);
  return point;
}

// A long run, each file's old text and the text it becomes.
constexpr int kRunFiles = 300;

std::string RunFileName(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "r%03d.txt", i);
  return name;
}
std::string OldText(int i) {
  std::string text;
  for (int line = 0; line < 100; ++line) text += std::to_string(i % 10) + "\tline\t.\r\n";
  return text;
}
std::string NewText(int i) {
  std::string text;
  for (int line = 0; line < 100; ++line) text += std::to_string(i % 10) + "       line    .\r\n";
  return text;
}

class CancelledRun : public WholeFolders {
 protected:
  void SetUp() override {
    WholeFolders::SetUp();
    // The progress window at once, so that each round can reach it.
    SetRawDword(HKEY_CURRENT_USER, kSettingsPath, "ProgressDelay", 0);
  }
  void WriteOldTexts() {
    for (int i = 0; i < kRunFiles; ++i) ASSERT_NO_FATAL_FAILURE(Write(RunFileName(i), OldText(i)));
  }
  // Starts a run over every file; returns its progress window.
  HWND StartRun() {
    if (!PressButton(m_hMain, kConvertMultiple)) return nullptr;
    return m_app.WaitForWindow({"Converting Files", "#32770"}, 60000);
  }
  // Checks the results of a cancelled run against the files: the files the
  // report names are converted, every other file has its old text, and the
  // last line counts the others. `pressed` is false when the run ended
  // before Cancel could be pressed: then every file is reported.
  void CheckCancelled(const std::vector<std::string>& lines, bool pressed) {
    ASSERT_FALSE(lines.empty());
    const bool cancelled = lines.back().compare(0, 10, "Cancelled:") == 0;
    if (cancelled) ++m_nCancelled;
    EXPECT_TRUE(cancelled || !pressed) << "no cancelled line: " << lines.back();
    std::set<std::string> reported;
    for (size_t i = 0; i + (cancelled ? 1 : 0) < lines.size(); ++i) {
      const std::string& line = lines[i];
      const size_t colon = line.find(": ", 3);
      ASSERT_NE(std::string::npos, colon) << line;
      EXPECT_EQ(": 200 tabs converted", line.substr(colon)) << line;
      reported.insert(line.substr(0, colon));
    }
    const size_t left = kRunFiles - reported.size();
    if (cancelled) {
      EXPECT_EQ("Cancelled: the run was stopped, and " + std::to_string(left) +
                    (left == 1 ? " match was" : " matches were") + " not converted.",
                lines.back());
    }
    for (int i = 0; i < kRunFiles; ++i) {
      const std::string text = ReadWorkFile(RunFileName(i));
      if (reported.count(WorkFile(RunFileName(i))) != 0) {
        EXPECT_EQ(NewText(i), text) << RunFileName(i) << " is reported but not converted";
      } else {
        EXPECT_EQ(OldText(i), text) << RunFileName(i) << " is not reported but changed";
      }
    }
    std::printf("%s after %zu of %d files\n", cancelled ? "cancelled" : "not cancelled, the run ended", reported.size(),
                kRunFiles);
  }
  int m_nCancelled = 0;  // the rounds whose report has the cancelled line
};

TEST_F(CancelledRun, EveryFileIsOldOrNewAndTheReportSaysWhereTheRunStopped) {
  ASSERT_NO_FATAL_FAILURE(WriteOldTexts());
  ASSERT_TRUE(PutClipboardText("a\tb"));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_NO_FATAL_FAILURE(Type(kPattern, "r*.txt"));

  // A whole run first, for its length; its progress window meanwhile.
  const DWORD start = GetTickCount();
  HWND progress = StartRun();
  ASSERT_NE(nullptr, progress);
  EXPECT_EQ(m_hMain, GetWindow(progress, GW_OWNER));
  EXPECT_NE(nullptr, GetDlgItem(progress, IDCANCEL));
  EXPECT_EQ("Cancel", GetControlText(progress, IDCANCEL));
  // The main window is enabled, its controls are not, and it is repainted.
  EXPECT_TRUE(IsWindowEnabled(m_hMain));
  for (int id : {kPattern, kConvertMultiple, kConvertFile, kConvertClipboard, kSubfolders, static_cast<int>(IDCANCEL)})
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(m_hMain, id))) << "control " << id;
  // Coming back to the window (with text on the clipboard) enables nothing.
  DWORD_PTR answer = 0;
  EXPECT_NE(0, SendMessageTimeoutA(m_hMain, WM_ACTIVATE, WA_CLICKACTIVE, 0, SMTO_NORMAL, 10000, &answer));
  EXPECT_TRUE(!IsWindowEnabled(GetDlgItem(m_hMain, kConvertClipboard)) || !IsWindow(progress));
  RedrawWindow(m_hMain, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
  EXPECT_TRUE(WaitUntil([&] { return !GetUpdateRect(m_hMain, nullptr, FALSE) || !IsWindow(progress); }))
      << "the main window is not repainted during the run";
  EXPECT_TRUE(WaitUntil([&] { return GetControlText(progress, kProgressCount).find(" of 300 done") != std::string::npos ||
                                     !IsWindow(progress); }));
  HWND results = nullptr;
  std::vector<std::string> lines = Results(&results);
  const DWORD length = GetTickCount() - start;
  EXPECT_EQ(static_cast<size_t>(kRunFiles), lines.size());
  EXPECT_EQ(WorkFile("r000.txt") + ": 200 tabs converted", Sorted(lines).front());
  EXPECT_FALSE(IsWindow(progress));
  ASSERT_NO_FATAL_FAILURE(CloseResults(results));
  for (int id : {kPattern, kConvertMultiple, kConvertFile, kSubfolders, static_cast<int>(IDCANCEL)})
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(m_hMain, id))) << "control " << id;
  std::printf("a whole run over %d files: %lu ms\n", kRunFiles, static_cast<unsigned long>(length));

  // Cancel at once, then at random moments; in the last round the main
  // window is closed instead, and a second command comes in the middle.
  std::mt19937 random(std::random_device{}());
  const int kRounds = 5;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    ASSERT_NO_FATAL_FAILURE(WriteOldTexts());
    progress = StartRun();
    ASSERT_NE(nullptr, progress);
    if (round > 0) Sleep(std::uniform_int_distribution<DWORD>(0, length / 3)(random));
    bool pressed = true;
    void* drop = nullptr;
    if (round == kRounds - 1) {
      // A second command and a drop in the middle of the run are not taken.
      EXPECT_TRUE(PostMessageA(m_hMain, WM_COMMAND, MAKEWPARAM(kConvertMultiple, BN_CLICKED), 0));
      drop = PostDrop(m_app, m_hMain, PointOf(m_hMain, kPattern), {WorkFile("r001.txt")});
      EXPECT_TRUE(PostMessageA(m_hMain, WM_CLOSE, 0, 0));
      pressed = IsWindow(progress) != FALSE;
    } else {
      // A round whose run ended first (a slow start of the test) has no
      // Cancel to press: every file is then converted and reported.
      pressed = PressButton(progress, IDCANCEL);
      EXPECT_TRUE(pressed || !IsWindow(progress));
    }
    lines = Results(&results);
    ASSERT_NE(nullptr, results);
    EXPECT_FALSE(IsWindow(progress));
    ASSERT_NO_FATAL_FAILURE(CheckCancelled(lines, pressed && round == 0));
    ASSERT_NO_FATAL_FAILURE(CloseResults(results));
    // Nothing else started: no progress window, no second report.
    EXPECT_EQ(nullptr, m_app.FindWindow({"Converting Files", "#32770"}));
    EXPECT_EQ(nullptr, m_app.FindWindow({"Convert Multiple Files", "#32770"}));
    EXPECT_EQ("r*.txt", GetControlText(m_hMain, kPattern));
    FreeDrop(m_app, drop);
  }
  EXPECT_GE(m_nCancelled, kRounds - 2) << "too few runs were still going when they were cancelled";
  EXPECT_TRUE(m_app.IsRunning());
}

TEST_F(WholeFolders, FilesAndFoldersDroppedOnTheBoxesFillThemAndLeaveTheHistories) {
  ASSERT_NO_FATAL_FAILURE(Folder("drop"));
  ASSERT_NO_FATAL_FAILURE(Write("drop\\one.txt", "\t1"));
  ASSERT_NO_FATAL_FAILURE(Write("drop\\two.TXT", "\t2"));
  ASSERT_NO_FATAL_FAILURE(Write("drop\\three.c", "\t3"));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  const std::string folder = WorkFile("drop");
  const std::string one = WorkFile("drop\\one.txt"), two = WorkFile("drop\\two.TXT"), three = WorkFile("drop\\three.c");
  const struct {
    const char* what;
    int on;  // the control dropped on; 0: on none
    std::vector<std::string> paths;
    int box;  // the box it fills
    std::string text;
  } cases[] = {
      {"a file on the source box", kSource, {one}, kSource, one},
      {"a file on the destination box", kDestination, {two}, kDestination, two},
      {"a file on the pattern box", kPattern, {three}, kPattern, three},
      {"a folder on the pattern box", kPattern, {folder}, kPattern, folder + "\\*.*"},
      {"a folder on no box", 0, {folder}, kPattern, folder + "\\*.*"},
      {"a folder on the source box", kSource, {folder}, kPattern, folder + "\\*.*"},
      {"files of one type", kSource, {one, two}, kPattern, folder + "\\*.txt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_NO_FATAL_FAILURE(Type(c.box, ""));
    void* block = PostDrop(m_app, m_hMain, PointOf(m_hMain, c.on), c.paths);
    EXPECT_TRUE(WaitUntil([&] { return GetControlText(m_hMain, c.box) == c.text; }))
        << "box " << c.box << " shows " << GetControlText(m_hMain, c.box);
    FreeDrop(m_app, block);
  }
  void* block = PostDrop(m_app, m_hMain, PointOf(m_hMain, kPattern), {one, three});
  ASSERT_NO_FATAL_FAILURE(ExpectNotice(
      "These files cannot be converted together: they are not all files of one type in one folder.  Drop one "
      "file, one folder, or files with the same extension from one folder."));
  FreeDrop(m_app, block);
  EXPECT_EQ(folder + "\\*.txt", GetControlText(m_hMain, kPattern));

  // A handle of another process's memory, posted as some programs post a
  // drop, is no drop here: nothing changes and the program goes on.
  const std::string foreign = DropBlock(PointOf(m_hMain, kSource), {three});
  HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE, foreign.size());
  ASSERT_NE(nullptr, handle);
  std::memcpy(GlobalLock(handle), foreign.data(), foreign.size());
  GlobalUnlock(handle);
  ASSERT_TRUE(PostMessageA(m_hMain, WM_DROPFILES, reinterpret_cast<WPARAM>(handle), 0));
  ASSERT_NO_FATAL_FAILURE(ExpectMainWindowBack());
  GlobalFree(handle);
  EXPECT_EQ(one, GetControlText(m_hMain, kSource));
  // The histories are the commands' business.
  EXPECT_FALSE(HasSetting("Source1"));
  EXPECT_FALSE(HasSetting("Destination1"));
  EXPECT_FALSE(HasSetting("MultipleFiles1"));
  EXPECT_TRUE(GetComboItems(GetDlgItem(m_hMain, kPattern)).empty());

  // The dropped pattern runs as a typed one, and goes into its history then.
  ASSERT_NO_FATAL_FAILURE(Press(kConvertMultiple));
  HWND results = nullptr;
  EXPECT_EQ(Sorted({one + ": 1 tabs converted", two + ": 1 tabs converted"}), Sorted(Results(&results)));
  ASSERT_NE(nullptr, results);
  ASSERT_NO_FATAL_FAILURE(CloseResults(results));
  EXPECT_EQ(folder + "\\*.txt", Setting("MultipleFiles1"));
}


// A drag from another program's window (OLE's DoDragDrop with the files as
// CF_HDROP), let go over the pattern box, as Explorer drags files.
class CDroppedFiles : public IDataObject, public IDropSource {
 public:
  explicit CDroppedFiles(const std::wstring& path) : m_Path(path) {}
  // IUnknown, on the stack for one drag.
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IDataObject) {
      *object = static_cast<IDataObject*>(this);
    } else if (iid == IID_IDropSource) {
      *object = static_cast<IDropSource*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  // IDataObject: the files as CF_HDROP, nothing else.
  STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    const size_t size = sizeof(DROPFILES) + (m_Path.size() + 2) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), m_Path.c_str(), m_Path.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryGetData(FORMATETC* format) override {
    return format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
  }
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    out->ptd = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override {
    static FORMATETC hdrop = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    if (direction != DATADIR_GET) return E_NOTIMPL;
    return SHCreateStdEnumFmtEtc(1, &hdrop, formats);
  }
  STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }
  // IDropSource: let go after a few rounds of the drag loop, wherever the
  // mouse is (it was put over the box before).
  STDMETHODIMP QueryContinueDrag(BOOL escape, DWORD) override {
    if (escape) return DRAGDROP_S_CANCEL;
    return ++m_nRounds >= 5 ? DRAGDROP_S_DROP : S_OK;
  }
  STDMETHODIMP GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

 private:
  std::wstring m_Path;
  int m_nRounds = 0;
};

// Explorer drags files with OLE: the program's window takes them as a drop
// target of its own (Wine, unlike Windows, turns no OLE drag into
// WM_DROPFILES).
TEST_F(WholeFolders, FilesDraggedFromAnotherWindowFillTheBoxes) {
  ASSERT_NO_FATAL_FAILURE(Folder("dragged"));
  ASSERT_NO_FATAL_FAILURE(Write("dragged\\one.txt", "\t1"));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  const std::string folder = WorkFile("dragged"), one = WorkFile("dragged\\one.txt");
  const struct {
    const char* what;
    int on;
    std::string path;
    int box;
    std::string text;
  } cases[] = {
      {"a folder on the pattern box", kPattern, folder, kPattern, folder + "\\*.*"},
      {"a file on the source box", kSource, one, kSource, one},
  };
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    POINT point = PointOf(m_hMain, c.on);
    ClientToScreen(m_hMain, &point);
    ASSERT_TRUE(SetCursorPos(point.x, point.y));
    CDroppedFiles files(std::wstring(c.path.begin(), c.path.end()));
    DWORD effect = DROPEFFECT_NONE;
    EXPECT_EQ(DRAGDROP_S_DROP, DoDragDrop(static_cast<IDataObject*>(&files), static_cast<IDropSource*>(&files),
                                          DROPEFFECT_COPY, &effect));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
    EXPECT_TRUE(WaitUntil([&] { return GetControlText(m_hMain, c.box) == c.text; }))
        << "box " << c.box << " shows " << GetControlText(m_hMain, c.box);
  }
  OleUninitialize();
  EXPECT_FALSE(HasSetting("Source1"));
  EXPECT_FALSE(HasSetting("MultipleFiles1"));
}

}  // namespace
