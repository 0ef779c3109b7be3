// Installing and uninstalling the real program as a user does, driven from
// outside in the test's Wine prefix: setup.exe from a copy of the
// distribution folder, the questions and dialogs of the installer, the
// installed copy's main window; then the uninstall with its reboot question
// answered Yes, after which the restart of the prefix finishes the job.
//
// Two ctest steps share the installation: "Install" leaves it in place and
// "Uninstall" removes it. The restart ends every windowed process of the
// prefix; this test process has no window, so it lives on to check.
//
// With VELMORA_SCREENSHOTS set to a Windows folder, a picture of the screen is
// saved there at every step of the installer (install-*.bmp).
#include <windows.h>
#include <objbase.h>
#include <psapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "framework/handle.h"
#include "tests/settings/registry_probe.h"
#include "tests/support/shell_link.h"
#include "tests/support/temp_dir.h"
#include "tests/support/ui_driver.h"

namespace {

const char kTitle[] = "Orvane Zenvero";
const char kSetupCaption[] = "Orvane Zenvero Setup";
const char kUninstallCaption[] = "Orvane Zenvero Uninstall";
const char kRecordKey[] = "Software\\Orvane\\Zenvero\\SelfInstall";
const char kUninstallKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrvaneZenvero";
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const std::vector<std::string> kInstalledFiles = {"Readme.txt", "Velmora.exe", "Velmora.hlp",
                                                  "Velmora.cnt", "Velmora.chm"};

std::string Text(HKEY root, const char* key, const char* name) {
  RawValue value = QueryRaw(root, key, name);
  return value.exists ? std::string(value.Text().c_str()) : std::string("<missing>");
}

std::string InstallFolder() {
  return Text(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
              "ProgramFilesDir") +
         "\\" + kTitle;
}

// The installation is for the whole machine: its links are in all users'
// Start menu, none in the user's own.
std::string LinkFolder() {
  return Text(HKEY_LOCAL_MACHINE,
              "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
              "Common Programs") +
         "\\" + kTitle;
}
std::string UserLinkFolder() {
  return Text(HKEY_CURRENT_USER,
              "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
              "Programs") +
         "\\" + kTitle;
}

// A picture of the whole screen for the documentation, when asked for.
// `settle` ms let a new window paint first.
void Screenshot(const char* name, DWORD settle = 300) {
  const char* folder = std::getenv("VELMORA_SCREENSHOTS");
  if (folder == nullptr || *folder == 0) return;
  Sleep(settle);
  SaveWindowImage(GetDesktopWindow(), std::string(folder) + "\\install-" + name + ".bmp");
}

// The full path of the program that owns `window`.
std::string ProgramOf(HWND window) {
  DWORD id = 0;
  GetWindowThreadProcessId(window, &id);
  CHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
  if (!process.IsValid()) return std::string();
  char path[MAX_PATH] = "";
  GetModuleFileNameExA(process, nullptr, path, MAX_PATH);
  return path;
}

struct Search {
  std::string caption;
  std::string className;
  bool messageBox;
  HWND found;
};

// A visible top-level window of any process with this caption and class
// that is (or is not) a message box.
HWND FindTop(const std::string& caption, const std::string& className, bool messageBox) {
  Search search{caption, className, messageBox, nullptr};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        Search* s = reinterpret_cast<Search*>(data);
        char cls[64] = "";
        GetClassNameA(window, cls, sizeof cls);
        if (!IsWindowVisible(window) || s->className != cls) return TRUE;
        if (GetWindowTextOf(window) != s->caption) return TRUE;
        if (IsMessageBox(window) != s->messageBox) return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForTop(const std::string& caption, bool messageBox, DWORD timeout = kUiWait) {
  HWND window = nullptr;
  WaitUntil([&] { return (window = FindTop(caption, "#32770", messageBox)) != nullptr; },
            timeout);
  return window;
}

// The progress box: a captionless dialog whose text control 1015 reads `text`.
HWND FindProgressBox(const std::string& text) {
  Search search{text, "#32770", false, nullptr};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        Search* s = reinterpret_cast<Search*>(data);
        char cls[64] = "";
        GetClassNameA(window, cls, sizeof cls);
        if (!IsWindowVisible(window) || s->className != cls) return TRUE;
        // The installer pumps no messages while the box is up: read the
        // text the system keeps for the control instead of asking it.
        wchar_t text[128] = L"";
        InternalGetWindowText(GetDlgItem(window, 1015), text, 128);
        char narrow[128] = "";
        WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
        if (s->caption != narrow) return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Watches the progress box with this text from here: waits for it and
// returns for how long it was on the screen, from the first look that finds
// it to the first that no longer does (0: it never came).
DWORD WatchProgressBox(const std::string& text) {
  const DWORD start = GetTickCount();
  HWND box = nullptr;
  while ((box = FindProgressBox(text)) == nullptr) {
    if (GetTickCount() - start >= kUiWait) return 0;
    Sleep(1);
  }
  const DWORD shown = GetTickCount();
  Screenshot("progress", 0);  // it paints itself at once
  while (IsWindow(box) && IsWindowVisible(box)) Sleep(1);
  return GetTickCount() - shown;
}

// The pending file operations of the next start of Windows, in order: each
// file and what it becomes ("" for a deletion).
std::vector<std::pair<std::string, std::string>> PendingOperations(const RawValue& value) {
  std::vector<std::string> strings;
  std::string text = value.Text();
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\0', start);
    if (end == std::string::npos) end = text.size();
    strings.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  // The list ends with an empty string (and a pair may well end in one).
  if (strings.size() % 2 != 0 && strings.back().empty()) strings.pop_back();
  std::vector<std::pair<std::string, std::string>> operations;
  for (size_t i = 0; i + 1 < strings.size(); i += 2) {
    operations.emplace_back(strings[i], strings[i + 1]);
  }
  return operations;
}

std::string ShortPath(const std::string& path) {
  char shortPath[MAX_PATH] = "";
  GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
  return shortPath;
}

// Waits for a message box with this caption, checks its text and buttons and
// presses `answer`.
void Answer(const std::string& caption, const std::string& text, std::vector<int> buttons,
            int answer, const char* screenshot = nullptr) {
  HWND box = WaitForTop(caption, true);
  ASSERT_NE(nullptr, box) << "no box: " << text;
  MessageBoxInfo info = ReadMessageBox(box);
  EXPECT_EQ(text, info.text);
  EXPECT_EQ(buttons, info.buttons);
  if (screenshot != nullptr) Screenshot(screenshot);
  ASSERT_TRUE(PressButton(box, answer));
  ASSERT_TRUE(WaitForWindowGone(box));
}

std::string Question(const char* what) {
  return std::string("You are about to ") + what +
         " of Orvane Zenvero.\n\nIt is recommended to close all Orvane Zenvero windows before "
         "continuing.\n\nDo you want to continue?";
}

// The distribution as a user unpacks it: every file of <build>/dist.
class CDistributionCopy {
 public:
  CDistributionCopy() {
    for (const WIN32_FIND_DATAA& data : CFindFile((GetDistFolder() + "*").c_str())) {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CopyFileA((GetDistFolder() + data.cFileName).c_str(), (m_dir / data.cFileName).c_str(),
                  FALSE);
      }
    }
  }
  std::string Folder() const { return m_dir.GetPath() + "\\"; }

 private:
  CTempDir m_dir;
};

class InstallE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    DisableWindowManagerWaits("Velmora.exe");
    DisableWindowManagerWaits("setup.exe");
  }
  void TearDown() override { CoUninitialize(); }

  // Runs setup.exe from the distribution copy and waits for the question.
  void StartSetup(const CDistributionCopy& copy) {
    CDrivenProcess setup;
    ASSERT_TRUE(setup.Start("\"" + copy.Folder() + "setup.exe\"", copy.Folder()));
    DWORD exitCode = 1;
    ASSERT_TRUE(setup.WaitForExit(kUiWait, &exitCode));
    EXPECT_EQ(0u, exitCode);
  }

  // The licence dialog: Yes.
  void AcceptLicence() {
    HWND licence = WaitForTop("License Agreement", false);
    ASSERT_NE(nullptr, licence) << "no licence";
    Screenshot("licence");
    ASSERT_TRUE(PressButton(licence, IDOK));
    ASSERT_TRUE(WaitForWindowGone(licence));
  }

  // The destination dialog: expects `folder` and presses Install.
  void AcceptDestination(const std::string& folder, bool screenshot) {
    HWND destination = WaitForTop("Choose Destination Location", false);
    ASSERT_NE(nullptr, destination) << "no destination dialog";
    EXPECT_EQ(folder, GetControlText(destination, 1014));
    if (screenshot) Screenshot("destination");
    ASSERT_TRUE(PressButton(destination, IDOK));
  }

  // Waits for the installed copy's main window.
  HWND WaitForInstalledMainWindow() {
    HWND main = nullptr;
    WaitUntil([&] {
      main = FindTop(kTitle, "#32770", false);
      return main != nullptr && lstrcmpiA(ProgramOf(main).c_str(),
                                          (InstallFolder() + "\\Velmora.exe").c_str()) == 0;
    });
    return main;
  }

  void CloseMainWindow(HWND main) {
    ASSERT_TRUE(PressButton(main, IDCANCEL));  // Exit
    ASSERT_TRUE(WaitForWindowGone(main));
  }
};

TEST_F(InstallE2e, Install) {
  // A machine that never had the program.
  DeleteTree(HKEY_CURRENT_USER, "Software\\Orvane");
  DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane");
  DeleteTree(HKEY_LOCAL_MACHINE, kUninstallKey);
  DeleteTree(HKEY_CURRENT_USER, kUninstallKey);
  RemoveTree(InstallFolder());
  RemoveTree(LinkFolder());
  RemoveTree(UserLinkFolder());
  CDistributionCopy copy;
  ASSERT_TRUE(FileExists(copy.Folder() + "setup.exe"));

  ASSERT_NO_FATAL_FAILURE(StartSetup(copy));
  ASSERT_NO_FATAL_FAILURE(
      Answer(kSetupCaption, Question("install a new copy"), {IDYES, IDNO}, IDYES, "question"));
  ASSERT_NO_FATAL_FAILURE(AcceptLicence());
  ASSERT_NO_FATAL_FAILURE(AcceptDestination(InstallFolder(), true));
  ASSERT_NO_FATAL_FAILURE(Answer(kSetupCaption,
                                 "The folder \"" + InstallFolder() +
                                     "\" doesn't exist.  Do you want to create it?",
                                 {IDYES, IDNO}, IDYES));
  // The progress box is up for half a second at least (less what watching
  // from another process may miss at either end: 50 ms allowed).
  const DWORD progressShown = WatchProgressBox("Installing the program...");
  EXPECT_NE(0u, progressShown) << "no progress box";
  EXPECT_GE(progressShown, 450u);

  HWND main = WaitForInstalledMainWindow();
  ASSERT_NE(nullptr, main) << "the installed copy did not open its main window";
  Screenshot("finished");

  // What the installation left, seen from outside.
  std::string folder = InstallFolder() + "\\";
  for (const std::string& name : kInstalledFiles) {
    std::string installed, original;
    if (!FileExists(copy.Folder() + name)) continue;
    ASSERT_TRUE(ReadWholeFile(folder + name, &installed)) << name;
    ASSERT_TRUE(ReadWholeFile(copy.Folder() + name, &original)) << name;
    EXPECT_TRUE(installed == original) << name;
  }
  EXPECT_TRUE(FileExists(folder + "Velmora.exe"));
  EXPECT_TRUE(FileExists(folder + "Readme.txt"));
  for (const char* name : {"setup.exe", "File_id.diz", "License.rtf"}) {
    EXPECT_FALSE(FileExists(folder + name)) << name;
  }
  EXPECT_EQ("1.20", Text(HKEY_LOCAL_MACHINE, kRecordKey, "Version"));
  EXPECT_EQ(folder, Text(HKEY_LOCAL_MACHINE, kRecordKey, "Directory"));
  EXPECT_FALSE(QueryRaw(HKEY_CURRENT_USER, kRecordKey, "Version").exists);
  EXPECT_FALSE(QueryRaw(HKEY_CURRENT_USER, "Software\\Orvane\\Zenvero\\Settings",
                        "CreateDesktopShortcut").exists);
  EXPECT_EQ("Orvane Zenvero 1.20", Text(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"));
  EXPECT_EQ("\"" + folder + "Velmora.exe\" /uninstall",
            Text(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"));
  EXPECT_EQ("1.20", Text(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"));
  EXPECT_EQ("Orvane", Text(HKEY_LOCAL_MACHINE, kUninstallKey, "Publisher"));
  EXPECT_EQ(folder + "Velmora.exe", Text(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayIcon"));
  EXPECT_EQ(folder, Text(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation"));
  EXPECT_GT(QueryRaw(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize").Dword(), 0u);
  EXPECT_EQ(1u, QueryRaw(HKEY_LOCAL_MACHINE, kUninstallKey, "NoModify").Dword());
  EXPECT_EQ(1u, QueryRaw(HKEY_LOCAL_MACHINE, kUninstallKey, "NoRepair").Dword());

  struct Expected {
    const char* name;
    const char* target;
    const char* arguments;
    int icon;
  } links[] = {{"Orvane Zenvero", "Velmora.exe", "", 0},
               {"Read Me", "Readme.txt", "", 0},
               {"Uninstall Orvane Zenvero", "Velmora.exe", "/uninstall", 2}};
  for (const Expected& e : links) {
    LinkContents link;
    ASSERT_TRUE(ReadShellLink(LinkFolder() + "\\" + e.name + ".lnk", &link)) << e.name;
    EXPECT_FALSE(FileExists(UserLinkFolder() + "\\" + e.name + ".lnk")) << e.name;
    EXPECT_EQ(0, lstrcmpiA((folder + e.target).c_str(), link.path.c_str())) << link.path;
    EXPECT_EQ(e.arguments, link.arguments);
    EXPECT_EQ(0, lstrcmpiA(folder.c_str(), (link.workingFolder + "\\").c_str()) *
                     lstrcmpiA(folder.c_str(), link.workingFolder.c_str()))
        << link.workingFolder;
    EXPECT_EQ(e.name, link.description);
    EXPECT_EQ(e.icon, link.iconIndex);
  }

  // The next install closes the running copy before it copies anything.
  ASSERT_NO_FATAL_FAILURE(StartSetup(copy));
  ASSERT_NO_FATAL_FAILURE(Answer(kSetupCaption, Question("re-install the same version"),
                                 {IDYES, IDNO}, IDYES));
  ASSERT_NO_FATAL_FAILURE(AcceptLicence());
  EXPECT_FALSE(IsWindow(main)) << "the running copy was not closed";
  ASSERT_NO_FATAL_FAILURE(AcceptDestination(folder, false));
  main = WaitForInstalledMainWindow();
  ASSERT_NE(nullptr, main);
  ASSERT_NO_FATAL_FAILURE(CloseMainWindow(main));

  // A plain start of the distribution copy hands over to the installed one.
  CDrivenProcess plain;
  ASSERT_TRUE(plain.Start("\"" + copy.Folder() + "Velmora.exe\"", copy.Folder()));
  EXPECT_TRUE(plain.WaitForExit());
  main = WaitForInstalledMainWindow();
  ASSERT_NE(nullptr, main) << "no hand-over to the installed copy";
  EXPECT_EQ(nullptr, FindTop(kSetupCaption, "#32770", true));
  ASSERT_NO_FATAL_FAILURE(CloseMainWindow(main));
}

TEST_F(InstallE2e, Uninstall) {
  std::string folder = InstallFolder() + "\\";
  std::string command = Text(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString");
  ASSERT_EQ("\"" + folder + "Velmora.exe\" /uninstall", command) << "nothing installed";
  // Settings of the user's that go with the program.
  SetRawString(HKEY_CURRENT_USER, "Software\\Orvane\\Zenvero\\Settings", "Tabs", "4");

  CDrivenProcess uninstall;
  ASSERT_TRUE(uninstall.Start(command, folder));
  ASSERT_NO_FATAL_FAILURE(Answer(kUninstallCaption,
                                 "Are you sure you want to uninstall Orvane Zenvero?",
                                 {IDYES, IDNO}, IDYES, "uninstall-question"));

  HWND reboot = WaitForTop(kUninstallCaption, true);
  ASSERT_NE(nullptr, reboot);
  EXPECT_EQ("Some of the files could not be deleted because they are in use. Please reboot the "
            "computer to finish uninstalling Orvane Zenvero.\n\nDo you want to reboot the "
            "computer now?",
            ReadMessageBox(reboot).text);
  Screenshot("uninstall-reboot");
  // Everything but the running program is gone already.
  for (const std::string& name : kInstalledFiles) {
    if (name != "Velmora.exe") {
      EXPECT_FALSE(FileExists(folder + name)) << name;
    }
  }
  EXPECT_FALSE(FileExists(LinkFolder()));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Orvane"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Orvane"));
  EXPECT_TRUE(FileExists(folder + "Velmora.exe"));

  // What the uninstaller left for the next start of Windows: the deletion of
  // its own file and then that of its folder.
  RawValue pending = QueryRaw(HKEY_LOCAL_MACHINE, kSessionManager, "PendingFileRenameOperations");
  ASSERT_TRUE(pending.exists);
  const std::string shortExe = ShortPath(folder + "Velmora.exe");
  const std::string shortFolder = ShortPath(InstallFolder());
  ASSERT_NE("", shortExe);
  ASSERT_NE("", shortFolder);
  const std::vector<std::pair<std::string, std::string>> deletions = {
      {"\\??\\" + shortExe, ""}, {"\\??\\" + shortFolder, ""}};
  EXPECT_EQ(deletions, PendingOperations(pending)) << pending.Text();

  // Yes: the prefix restarts and the uninstaller ends.
  ASSERT_TRUE(PressButton(reboot, IDYES));
  EXPECT_TRUE(uninstall.WaitForExit(30000));
  EXPECT_TRUE(WaitUntil(
      [&] { return !QueryRaw(HKEY_LOCAL_MACHINE, kSessionManager,
                             "PendingFileRenameOperations").exists; },
      30000))
      << "the restart did not take the pending operations";
  // Wine's restart carries the operations out at once, while the
  // uninstaller, which has no window left for the restart to end, may still
  // be finishing; its own file then stays. Windows ends every program before
  // it carries them out at boot: do that start again, now that the
  // uninstaller is gone, with the operations the uninstaller registered.
  if (FileExists(folder + "Velmora.exe")) {
    SetRaw(HKEY_LOCAL_MACHINE, kSessionManager, "PendingFileRenameOperations", pending.type,
           pending.data.data(), static_cast<DWORD>(pending.data.size()));
    CDrivenProcess boot;
    ASSERT_TRUE(boot.Start("wineboot.exe --restart"));
    EXPECT_TRUE(boot.WaitForExit(60000));
  }
  EXPECT_FALSE(FileExists(folder + "Velmora.exe")) << "the program's file is still there";
  EXPECT_FALSE(FileExists(folder)) << "the folder is still there";
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Orvane\\Zenvero"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Orvane"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

// Deployment: the same installation and uninstall run with switches, as a
// deployment tool runs them, each watched from outside for any window the
// programs show.

// A window one of the programs showed while watched.
struct SeenWindow {
  std::string program;  // file name of the program that showed it
  std::string className;
  std::string caption;
  bool progressBox;  // the installer's progress box (its text control 1015)
};

// Looks, from a thread of its own, at every visible top-level window of
// Velmora.exe and setup.exe processes many times a second, passing over
// those that were there when the watch began.
class CWindowWatch {
 public:
  CWindowWatch() {
    Look(true);
    m_hThread.Attach(CreateThread(nullptr, 0, &CWindowWatch::Watch, this, 0, nullptr));
  }
  ~CWindowWatch() { Stop(); }
  CWindowWatch(const CWindowWatch&) = delete;
  CWindowWatch& operator=(const CWindowWatch&) = delete;

  // Ends the watch; every window seen, once each.
  std::vector<SeenWindow> Stop() {
    if (m_hThread.IsValid()) {
      m_bStop = true;
      WaitForSingleObject(m_hThread, INFINITE);
      m_hThread.Close();
    }
    return m_Seen;
  }
  static std::string Describe(const std::vector<SeenWindow>& seen) {
    std::string text;
    for (const SeenWindow& w : seen)
      text += w.program + " " + w.className + " \"" + w.caption + "\"" + (w.progressBox ? " (progress)" : "") + "\n";
    return text;
  }

 private:
  static DWORD WINAPI Watch(void* self) {
    CWindowWatch& watch = *static_cast<CWindowWatch*>(self);
    while (!watch.m_bStop) {
      watch.Look(false);
      Sleep(2);
    }
    watch.Look(false);
    return 0;
  }
  std::string ProgramOfProcess(DWORD id) {
    auto known = m_Programs.find(id);
    if (known != m_Programs.end()) return known->second;
    CHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
    char path[MAX_PATH] = "";
    if (process.IsValid()) GetModuleFileNameExA(process, nullptr, path, MAX_PATH);
    std::string name = path;
    name = name.substr(name.find_last_of('\\') + 1);
    for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return m_Programs[id] = name;
  }
  void Look(bool baseline) {
    struct Pass {
      CWindowWatch* watch;
      bool baseline;
    } pass{this, baseline};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
          Pass& p = *reinterpret_cast<Pass*>(data);
          if (!IsWindowVisible(window)) return TRUE;
          if (p.baseline) {
            p.watch->m_Before.insert(window);
            return TRUE;
          }
          if (p.watch->m_Before.count(window) || p.watch->m_Noted.count(window)) return TRUE;
          DWORD id = 0;
          GetWindowThreadProcessId(window, &id);
          const std::string program = p.watch->ProgramOfProcess(id);
          if (program != "velmora.exe" && program != "setup.exe") return TRUE;
          p.watch->m_Noted.insert(window);
          char cls[64] = "";
          GetClassNameA(window, cls, sizeof cls);
          wchar_t caption[128] = L"";
          InternalGetWindowText(window, caption, 128);
          char narrow[256] = "";
          WideCharToMultiByte(CP_ACP, 0, caption, -1, narrow, sizeof narrow, nullptr, nullptr);
          p.watch->m_Seen.push_back(
              {program, cls, narrow, GetDlgItem(window, 1015) != nullptr && !IsMessageBox(window)});
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&pass));
  }

  CHandle m_hThread;
  std::atomic<bool> m_bStop{false};
  std::set<HWND> m_Before;
  std::set<HWND> m_Noted;
  std::map<DWORD, std::string> m_Programs;
  std::vector<SeenWindow> m_Seen;
};

// A window of another program with the running copy's caption that refuses
// to let Windows end it: the installer has to leave it running.
class CRefusingCopy {
 public:
  // The stand-in program as Velmora.exe in a folder of its own: only the
  // windows of processes that run the program are asked to close.
  CRefusingCopy() {
    const std::string path = m_Folder / "Velmora.exe";
    if (!CopyFileA(COMMAND_RECORDER_EXE, path.c_str(), FALSE) || !m_Process.Start("\"" + path + "\" --refuse"))
      return;
    WaitUntil([this] {
      m_hWnd = FindWindowA("VelmoraTestRefusingCopy", kTitle);
      return m_hWnd != nullptr;
    });
  }
  ~CRefusingCopy() { m_Process.Kill(); }
  CRefusingCopy(const CRefusingCopy&) = delete;
  CRefusingCopy& operator=(const CRefusingCopy&) = delete;
  HWND Window() const { return m_hWnd; }

 private:
  CTempDir m_Folder;
  CDrivenProcess m_Process;
  HWND m_hWnd = nullptr;
};

class InstallE2eSilent : public InstallE2e {
 protected:
  void SetUp() override {
    InstallE2e::SetUp();
    m_log = m_logDir / "setup log.txt";
  }
  // Runs the command line in `folder` to its end; its exit code.
  DWORD RunJob(const std::string& commandLine, const std::string& folder) {
    CDrivenProcess job;
    EXPECT_TRUE(job.Start(commandLine, folder)) << commandLine;
    DWORD code = 12345;
    EXPECT_TRUE(job.WaitForExit(120000, &code)) << commandLine;
    return code;
  }
  std::string Log() const {
    std::string text;
    ReadWholeFile(m_log, &text);
    return text;
  }
  std::string LogSwitch() const { return " /LOG=\"" + m_log + "\""; }
  static bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
  }
  // Ends an uninstall that put files off to the next start: the restart of
  // the prefix carries the operations out.
  void RestartToFinish(const std::string& folder) {
    RawValue pending = QueryRaw(HKEY_LOCAL_MACHINE, kSessionManager, "PendingFileRenameOperations");
    ASSERT_TRUE(pending.exists);
    CDrivenProcess boot;
    ASSERT_TRUE(boot.Start("wineboot.exe --restart"));
    EXPECT_TRUE(boot.WaitForExit(60000));
    EXPECT_FALSE(FileExists(folder + "Velmora.exe")) << "the program's file is still there";
    EXPECT_FALSE(FileExists(folder)) << "the folder is still there";
  }
  static void ClearMachine() {
    DeleteTree(HKEY_CURRENT_USER, "Software\\Orvane");
    DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane");
    DeleteTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    DeleteTree(HKEY_CURRENT_USER, kUninstallKey);
    RemoveTree(LinkFolder());
    RemoveTree(UserLinkFolder());
  }

  CTempDir m_logDir;
  std::string m_log;
};

const char kDeployRoot[] = "C:\\Deploy Test";
const std::string kDeployFolder = std::string(kDeployRoot) + "\\Orvane Zenvero\\";

// setup.exe /VERYSILENT /ALLUSERS /DIR into a new folder: no window at all,
// and setup ends only once the installed copy has recorded itself.
TEST_F(InstallE2eSilent, AllUsersIntoANewFolder) {
  ClearMachine();
  RemoveTree(kDeployRoot);
  CDistributionCopy copy;
  CWindowWatch watch;
  const DWORD code = RunJob("\"" + copy.Folder() + "setup.exe\" /VERYSILENT /ALLUSERS /DIR=\"" +
                                kDeployFolder + "\"" + LogSwitch(),
                            copy.Folder());
  EXPECT_EQ("1.20", Text(HKEY_LOCAL_MACHINE, kRecordKey, "Version"));
  EXPECT_EQ(kDeployFolder, Text(HKEY_LOCAL_MACHINE, kRecordKey, "Directory"));
  const std::vector<SeenWindow> seen = watch.Stop();
  EXPECT_EQ(0u, code) << Log();
  EXPECT_TRUE(seen.empty()) << CWindowWatch::Describe(seen);

  for (const std::string& name : kInstalledFiles) EXPECT_TRUE(FileExists(kDeployFolder + name)) << name;
  EXPECT_EQ("\"" + kDeployFolder + "Velmora.exe\" /uninstall",
            Text(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"));
  EXPECT_EQ("\"" + kDeployFolder + "Velmora.exe\" /uninstall /VERYSILENT",
            Text(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString"));
  EXPECT_EQ(kDeployFolder, Text(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation"));
  LinkContents link;
  ASSERT_TRUE(ReadShellLink(LinkFolder() + "\\Orvane Zenvero.lnk", &link));
  EXPECT_EQ(0, lstrcmpiA((kDeployFolder + "Velmora.exe").c_str(), link.path.c_str())) << link.path;
  EXPECT_FALSE(FileExists(UserLinkFolder()));
  // Nothing started the program afterwards.
  EXPECT_TRUE(FindProcessesByName("Velmora.exe").empty());

  const std::string log = Log();
  EXPECT_TRUE(Has(log, "Create the folder " + std::string(kDeployRoot) + ": done")) << log;
  EXPECT_TRUE(Has(log, "Copy Velmora.exe to " + kDeployFolder + "Velmora.exe: done")) << log;
  EXPECT_TRUE(Has(log, "Create the link " + LinkFolder() + "\\Orvane Zenvero.lnk: done")) << log;
  EXPECT_TRUE(Has(log, "Write the uninstall entry HKLM\\" + std::string(kUninstallKey) + ": done")) << log;
  EXPECT_TRUE(Has(log, "Write the installation record HKLM\\" + std::string(kRecordKey) + ": done")) << log;
  EXPECT_TRUE(Has(log, "Exit code 0: done")) << log;
}

// /SILENT over a running copy: the copy is closed, and the only windows are
// progress boxes.
TEST_F(InstallE2eSilent, OverARunningCopyShowsOnlyProgress) {
  ASSERT_TRUE(FileExists(kDeployFolder + "Velmora.exe")) << "the installation of the test before";
  CDrivenProcess running;
  ASSERT_TRUE(running.Start("\"" + kDeployFolder + "Velmora.exe\"", kDeployFolder));
  HWND main = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (main = FindTop(kTitle, "#32770", false)) != nullptr; }));
  CDistributionCopy copy;
  CWindowWatch watch;
  const DWORD code = RunJob("\"" + copy.Folder() + "Velmora.exe\" /install /SILENT" + LogSwitch(),
                            copy.Folder());
  const std::vector<SeenWindow> seen = watch.Stop();
  EXPECT_EQ(0u, code) << Log();
  EXPECT_TRUE(running.WaitForExit(10000)) << "the running copy was not closed";
  EXPECT_FALSE(seen.empty()) << "no progress box";
  for (const SeenWindow& w : seen)
    EXPECT_TRUE(w.progressBox && w.className == "#32770") << CWindowWatch::Describe(seen);
  const std::string log = Log();
  EXPECT_TRUE(Has(log, "Close the running copy \"Orvane Zenvero\" (process ")) << log;
  EXPECT_TRUE(Has(log, "Install folder " + kDeployFolder)) << log;
  EXPECT_TRUE(Has(log, "Exit code 0: done")) << log;
}

// A window of another program with the program's caption (Explorer titles
// its window on the install folder so) is never asked to close.
TEST_F(InstallE2eSilent, AnotherProgramsWindowWithTheCaptionStays) {
  ASSERT_TRUE(FileExists(kDeployFolder + "Velmora.exe")) << "the installation of the test before";
  // The program under another file name opens the very same main window.
  const std::string other = kDeployFolder + "Other.exe";
  ASSERT_TRUE(CopyFileA((kDeployFolder + "Velmora.exe").c_str(), other.c_str(), FALSE));
  {
    CDrivenProcess running;
    ASSERT_TRUE(running.Start("\"" + other + "\"", kDeployFolder));
    HWND main = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (main = FindTop(kTitle, "#32770", false)) != nullptr; }));
    CDistributionCopy copy;
    const DWORD code = RunJob("\"" + copy.Folder() + "Velmora.exe\" /install /VERYSILENT" + LogSwitch(),
                              copy.Folder());
    EXPECT_EQ(0u, code) << Log();
    EXPECT_TRUE(running.IsRunning());
    EXPECT_TRUE(IsWindow(main));
    const std::string log = Log();
    EXPECT_TRUE(Has(log, "Leave the window \"Orvane Zenvero\" of Other.exe (process ")) << log;
    EXPECT_FALSE(Has(log, "Close the running copy")) << log;
    running.Kill();
  }
  EXPECT_TRUE(DeleteFileA(other.c_str()));
}

// A copy that refuses to close: code 1, and nothing is changed.
TEST_F(InstallE2eSilent, OverACopyThatWillNotCloseChangesNothing) {
  ASSERT_TRUE(WriteWholeFile(kDeployFolder + "Readme.txt", "the installed Readme, changed"));
  CRefusingCopy refusing;
  ASSERT_NE(nullptr, refusing.Window());
  CDistributionCopy copy;
  CWindowWatch watch;
  const DWORD code = RunJob("\"" + copy.Folder() + "setup.exe\" /VERYSILENT" + LogSwitch(), copy.Folder());
  const std::vector<SeenWindow> seen = watch.Stop();
  EXPECT_EQ(1u, code) << Log();
  EXPECT_TRUE(seen.empty()) << CWindowWatch::Describe(seen);
  EXPECT_TRUE(IsWindow(refusing.Window()));
  std::string readme;
  ASSERT_TRUE(ReadWholeFile(kDeployFolder + "Readme.txt", &readme));
  EXPECT_EQ("the installed Readme, changed", readme);
  const std::string log = Log();
  EXPECT_TRUE(Has(log, "Message: Please exit the program Orvane Zenvero.")) << log;
  EXPECT_TRUE(Has(log, "Close running copies: failed (a running copy did not close)")) << log;
  EXPECT_TRUE(Has(log, "Exit code 1: failed")) << log;
  EXPECT_FALSE(Has(log, "Copy ")) << log;
}

// The uninstall entry's QuietUninstallString: no window; the program's own
// file waits for the restart (3010), after which nothing is left.
TEST_F(InstallE2eSilent, QuietUninstallThroughTheEntry) {
  const std::string command = Text(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString");
  ASSERT_EQ("\"" + kDeployFolder + "Velmora.exe\" /uninstall /VERYSILENT", command);
  CWindowWatch watch;
  const DWORD code = RunJob(command + LogSwitch(), kDeployFolder);
  const std::vector<SeenWindow> seen = watch.Stop();
  EXPECT_TRUE(code == 0 || code == 3010) << code << "\n" << Log();
  std::printf("The quiet uninstall ended with %lu.\n", code);
  EXPECT_TRUE(seen.empty()) << CWindowWatch::Describe(seen);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Orvane"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Orvane"));
  EXPECT_FALSE(FileExists(LinkFolder()));
  EXPECT_FALSE(FileExists(kDeployFolder + "Readme.txt"));
  const std::string log = Log();
  EXPECT_TRUE(Has(log, "Delete " + kDeployFolder + "Readme.txt: done")) << log;
  if (code == 3010) {
    EXPECT_TRUE(Has(log, "Delete " + kDeployFolder + "Velmora.exe: in use, deleted when Windows next starts")) << log;
    EXPECT_TRUE(Has(log, "Exit code 3010: done; a restart of Windows finishes it")) << log;
    ASSERT_NO_FATAL_FAILURE(RestartToFinish(kDeployFolder));
  } else {
    EXPECT_FALSE(FileExists(kDeployFolder)) << log;
  }
  RemoveTree(kDeployRoot);
}

// A drive root is refused before anything is copied.
TEST_F(InstallE2eSilent, ADriveRootIsRefused) {
  ClearMachine();
  ASSERT_FALSE(FileExists("C:\\Velmora.exe"));
  CDistributionCopy copy;
  CWindowWatch watch;
  const DWORD code = RunJob("\"" + copy.Folder() + "Velmora.exe\" /install /VERYSILENT /DIR=C:\\" + LogSwitch(),
                            copy.Folder());
  const std::vector<SeenWindow> seen = watch.Stop();
  EXPECT_EQ(1u, code);
  EXPECT_TRUE(seen.empty()) << CWindowWatch::Describe(seen);
  EXPECT_FALSE(FileExists("C:\\Velmora.exe"));
  EXPECT_FALSE(FileExists("C:\\Readme.txt"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_TRUE(Has(Log(), "Install folder C:\\: refused (the root of a drive)")) << Log();
}

// An installation for this user beside one for all users: each one's quiet
// uninstall removes its own and leaves the other's.
TEST_F(InstallE2eSilent, PerUserBesideAllUsersEachUninstallsItsOwn) {
  ClearMachine();
  RemoveTree(kDeployRoot);
  CDistributionCopy copy;
  ASSERT_EQ(0u, RunJob("\"" + copy.Folder() + "setup.exe\" /VERYSILENT /ALLUSERS /DIR=\"" + kDeployFolder + "\"",
                       copy.Folder()));
  ASSERT_EQ(0u, RunJob("\"" + copy.Folder() + "setup.exe\" /VERYSILENT /CURRENTUSER", copy.Folder()));
  const std::string userFolder = Text(HKEY_CURRENT_USER, kRecordKey, "Directory");
  ASSERT_TRUE(Has(userFolder, "\\AppData\\Local\\Programs\\Orvane Zenvero\\")) << userFolder;
  ASSERT_EQ(kDeployFolder, Text(HKEY_LOCAL_MACHINE, kRecordKey, "Directory"));

  // The user's own entry.
  DWORD code = RunJob(Text(HKEY_CURRENT_USER, kUninstallKey, "QuietUninstallString") + LogSwitch(), userFolder);
  EXPECT_TRUE(code == 0 || code == 3010) << code << "\n" << Log();
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kRecordKey));
  EXPECT_FALSE(FileExists(UserLinkFolder()));
  EXPECT_FALSE(FileExists(userFolder + "Readme.txt"));
  EXPECT_EQ(kDeployFolder, Text(HKEY_LOCAL_MACHINE, kRecordKey, "Directory"));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_TRUE(FileExists(LinkFolder() + "\\Orvane Zenvero.lnk"));
  EXPECT_TRUE(FileExists(kDeployFolder + "Readme.txt"));
  if (code == 3010) {
    ASSERT_NO_FATAL_FAILURE(RestartToFinish(userFolder));
  }

  // The machine's entry.
  code = RunJob(Text(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString") + LogSwitch(), kDeployFolder);
  EXPECT_TRUE(code == 0 || code == 3010) << code << "\n" << Log();
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kRecordKey));
  EXPECT_FALSE(FileExists(LinkFolder()));
  EXPECT_FALSE(FileExists(kDeployFolder + "Readme.txt"));
  if (code == 3010) {
    ASSERT_NO_FATAL_FAILURE(RestartToFinish(kDeployFolder));
  }
  RemoveTree(kDeployRoot);
}

// For this user only, and its own silent uninstall.
TEST_F(InstallE2eSilent, PerUserInstallAndUninstall) {
  ClearMachine();
  CDistributionCopy copy;
  CWindowWatch watch;
  DWORD code = RunJob("\"" + copy.Folder() + "setup.exe\" /CURRENTUSER /verysilent" + LogSwitch(),
                      copy.Folder());
  std::vector<SeenWindow> seen = watch.Stop();
  EXPECT_EQ(0u, code) << Log();
  EXPECT_TRUE(seen.empty()) << CWindowWatch::Describe(seen);
  const std::string folder = Text(HKEY_CURRENT_USER, kRecordKey, "Directory");
  EXPECT_TRUE(Has(folder, "\\AppData\\Local\\Programs\\Orvane Zenvero\\")) << folder;
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kRecordKey));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_TRUE(FileExists(folder + "Velmora.exe"));
  EXPECT_TRUE(FileExists(UserLinkFolder() + "\\Orvane Zenvero.lnk"));
  EXPECT_FALSE(FileExists(LinkFolder()));
  const std::string command = Text(HKEY_CURRENT_USER, kUninstallKey, "QuietUninstallString");
  ASSERT_EQ("\"" + folder + "Velmora.exe\" /uninstall /VERYSILENT", command);

  CWindowWatch uninstallWatch;
  code = RunJob(command, folder);
  seen = uninstallWatch.Stop();
  EXPECT_TRUE(code == 0 || code == 3010) << code;
  std::printf("The per-user quiet uninstall ended with %lu.\n", code);
  EXPECT_TRUE(seen.empty()) << CWindowWatch::Describe(seen);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Orvane"));
  EXPECT_FALSE(FileExists(UserLinkFolder()));
  if (code == 3010) {
    ASSERT_NO_FATAL_FAILURE(RestartToFinish(folder));
  } else {
    // The copy in the temporary folder finishes once the program has ended.
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(folder); }, 30000)) << folder;
  }
}


// Wide helpers for names in any script: the test's own 8-bit calls would
// see them through the process's code page.
bool ExistsW(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring RegistryTextW(HKEY root, const wchar_t* key, const wchar_t* name) {
  wchar_t value[1024] = L"";
  DWORD size = sizeof value - sizeof(wchar_t);
  DWORD type = REG_NONE;
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return L"<missing>";
  const LONG result = RegQueryValueExW(opened, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(opened);
  return result == ERROR_SUCCESS && type == REG_SZ ? std::wstring(value) : L"<missing>";
}

std::string Utf8Of(const std::wstring& wide) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string text(bytes > 0 ? bytes - 1 : 0, '\0');
  if (bytes > 1) WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &text[0], bytes, nullptr, nullptr);
  return text;
}

std::wstring WideOf(const std::string& utf8) {
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring wide(units > 0 ? units - 1 : 0, L'\0');
  if (units > 1) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], units);
  return wide;
}

// Runs a command line (UTF-16, as a shell starts programs) to its end.
DWORD RunWide(std::wstring commandLine, const std::wstring& folder) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                      &info))
    return 12345;
  CProcessInformation process(info);
  if (WaitForSingleObject(process.Process(), 120000) != WAIT_OBJECT_0) return 12346;
  DWORD code = 12347;
  GetExitCodeProcess(process.Process(), &code);
  return code;
}

// The program a link starts, as its icon names it.
std::wstring LinkTargetW(const std::wstring& file) {
  IShellLinkW* link = nullptr;
  std::wstring target;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link))))
    return target;
  IPersistFile* persist = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
    // Wine keeps the target's own path in the system's code page only; the
    // icon's path (the target too) is kept in UTF-16.
    wchar_t path[MAX_PATH] = L"";
    int icon = 0;
    if (SUCCEEDED(persist->Load(file.c_str(), STGM_READ)) && SUCCEEDED(link->GetIconLocation(path, MAX_PATH, &icon)))
      target = path;
    persist->Release();
  }
  link->Release();
  return target;
}

// An installation for this user into a folder, and a log, named in several
// scripts: setup passes them on in UTF-16, the installer makes, copies,
// records, links and logs them whole and its uninstall removes them again;
// also with the program as the systems without the UTF-8 code page run it
// (every Windows before 10 1903).
TEST_F(InstallE2eSilent, AFolderAndALogInAnyScript) {
  const std::wstring root = L"C:\\\x041F\x0430\x043F\x043A\x0430 \x03B1\x03B2 \x65E5\x672C \xD83D\xDE00";
  const std::wstring folder = root + L"\\Orvane Zenvero\\";
  const std::wstring userKey = L"Software\\Orvane\\Zenvero\\SelfInstall";
  const std::wstring uninstallKey = WideOf(kUninstallKey);
  for (const char* program : {"", LEGACY_VELMORA_EXE}) {
    SCOPED_TRACE(*program != '\0' ? "without the UTF-8 code page" : "as built");
    ClearMachine();
    CDistributionCopy copy;
    if (*program != '\0') {
      ASSERT_TRUE(CopyFileA(program, (copy.Folder() + "Velmora.exe").c_str(), FALSE));
    }
    const std::wstring log = WideOf(m_logDir.GetPath()) + L"\\\x0436\x0443\x0440\x043D\x0430\x043B \xD83D\xDE00 " +
                             (*program != '\0' ? L"8-bit" : L"UTF-8") + L".txt";
    const std::wstring dist = WideOf(copy.Folder());
    CWindowWatch watch;
    const DWORD code = RunWide(L"\"" + dist + L"setup.exe\" /VERYSILENT /CURRENTUSER /DIR=\"" + folder +
                                   L"\" /LOG=\"" + log + L"\"",
                               dist);
    const std::vector<SeenWindow> seen = watch.Stop();
    std::string logText;
    {
      CHandle file(CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               0, nullptr));
      char buffer[65536];
      DWORD got = 0;
      if (file.IsValid() && ReadFile(file, buffer, sizeof buffer, &got, nullptr)) logText.assign(buffer, got);
    }
    EXPECT_EQ(0u, code) << logText;
    EXPECT_TRUE(seen.empty()) << CWindowWatch::Describe(seen);
    for (const std::string& name : kInstalledFiles) EXPECT_TRUE(ExistsW(folder + WideOf(name))) << name;
    EXPECT_TRUE(folder == RegistryTextW(HKEY_CURRENT_USER, userKey.c_str(), L"Directory"))
        << Utf8Of(RegistryTextW(HKEY_CURRENT_USER, userKey.c_str(), L"Directory"));
    const std::wstring quiet = RegistryTextW(HKEY_CURRENT_USER, uninstallKey.c_str(), L"QuietUninstallString");
    EXPECT_TRUE(L"\"" + folder + L"Velmora.exe\" /uninstall /VERYSILENT" == quiet) << Utf8Of(quiet);
    const std::wstring target = LinkTargetW(WideOf(UserLinkFolder()) + L"\\Orvane Zenvero.lnk");
    EXPECT_TRUE(folder + L"Velmora.exe" == target) << Utf8Of(target);
    // The log is UTF-8, with the mark that says so.
    EXPECT_EQ(0u, logText.compare(0, 3, "\xEF\xBB\xBF"));
    EXPECT_TRUE(Has(logText, "Copy Velmora.exe to " + Utf8Of(folder) + "Velmora.exe: done")) << logText;
    EXPECT_TRUE(Has(logText, "Exit code 0: done")) << logText;

    // Its own quiet uninstall takes everything away again.
    const DWORD removed = RunWide(quiet, folder);
    EXPECT_TRUE(removed == 0 || removed == 3010) << removed;
    if (removed == 3010) {
      // The running program's own file goes at the restart.
      CDrivenProcess boot;
      ASSERT_TRUE(boot.Start("wineboot.exe --restart"));
      EXPECT_TRUE(boot.WaitForExit(60000));
    }
    EXPECT_TRUE(WaitUntil([&] { return !ExistsW(folder); }, 30000)) << "the folder is still there";
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
    RemoveDirectoryW(root.c_str());
  }
}

}  // namespace
