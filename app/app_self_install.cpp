#include "app/app_self_install.h"

#include "app/converter_app.h"

namespace {

const char kStem[] = "Velmora";
const char kOldFolder[] = "Zenvero";

}  // namespace

CInstallManifest AppInstallManifest(const std::string& appTitle) {
  const std::string stem = kStem;
  const std::string exeName = stem + ".exe";

  CInstallManifest manifest;
  manifest.RunAtStartup = false;
  manifest.RunArguments = "";
  manifest.ExeName = exeName;
  // The help for WinHelp (.hlp with its contents .cnt) and for HTML Help
  // (.chm). Both viewers may leave an index beside their file (.gid, .chw).
  manifest.FilesToCopy = {"Readme.txt", exeName, stem + ".hlp", stem + ".cnt", stem + ".chm"};
  manifest.FilesToDelete = {stem + ".gid", stem + ".chw", "License.rtf", "setup.exe", "File_id.diz"};

  manifest.Shortcuts.emplace_back(appTitle, exeName, "", 0);
  manifest.Shortcuts.emplace_back("Read Me", "Readme.txt", "", 0);
  manifest.Shortcuts.emplace_back("Uninstall " + appTitle, exeName, "/uninstall", 2);
  for (CSelfInstallShortcut& shortcut : manifest.Shortcuts) {
    shortcut.ShellFolder = "Programs";
    shortcut.SubFolder = appTitle;
  }

  // The links of the older Start-menu folder "Zenvero".
  manifest.EarlierShortcuts = {
      {kOldFolder, exeName, "", 0},
      {"Read Me", "Readme.txt", "", 0},
      {std::string("Uninstall ") + kOldFolder, exeName, "/uninstall", 2},
  };
  for (CSelfInstallShortcut& shortcut : manifest.EarlierShortcuts) shortcut.SubFolder = kOldFolder;

  // Running copies are found by their main window's caption.
  manifest.CloseWindowClass = "";
  manifest.CloseWindowTitle = appTitle;
  return manifest;
}

BOOL CConverterApp::RunSelfInstall() {
  CAppSelfInstall installer(m_strAppName);
  const RunResult result = installer.Run(m_strCmdLineTail);
  m_nExitCode = static_cast<int>(installer.ExitCode());
  return result == RunResult::kEndProcess;
}
