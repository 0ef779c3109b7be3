#include "app/app_self_install.h"

#include "app/converter_app.h"

namespace {

const char kStem[] = "Velmora";
const char kOldFolder[] = "Zenvero";

}  // namespace

void CAppSelfInstall::Fill(const std::string& appTitle) {
  const std::string stem = kStem;
  const std::string exeName = stem + ".exe";

  m_bRunAtStartup = 0;
  m_RunArguments = "";
  m_ExeName = exeName;
  // The help for WinHelp (.hlp with its contents .cnt) and for HTML Help
  // (.chm). Both viewers may leave an index beside their file (.gid, .chw).
  m_FilesToCopy = {"Readme.txt", exeName, stem + ".hlp", stem + ".cnt", stem + ".chm"};
  m_FilesToDelete = {stem + ".gid", stem + ".chw", "License.rtf", "setup.exe", "File_id.diz"};

  m_Shortcuts.emplace_back(appTitle, exeName, "", 0);
  m_Shortcuts.emplace_back("Read Me", "Readme.txt", "", 0);
  m_Shortcuts.emplace_back("Uninstall " + appTitle, exeName, "/uninstall", 2);
  for (CSelfInstallShortcut& shortcut : m_Shortcuts) {
    shortcut.ShellFolder = "Programs";
    shortcut.SubFolder = appTitle;
  }

  // Running copies are found by their main window's caption.
  m_CloseWindowClass = "";
  m_CloseWindowTitle = appTitle;
}

void CAppSelfInstall::OnInstalled(const std::string&) {
  const std::string exeName = std::string(kStem) + ".exe";
  CSelfInstallShortcut oldLinks[] = {
      {kOldFolder, exeName, "", 0},
      {"Read Me", "Readme.txt", "", 0},
      {std::string("Uninstall ") + kOldFolder, exeName, "/uninstall", 2},
  };
  for (CSelfInstallShortcut& shortcut : oldLinks) {
    shortcut.SubFolder = kOldFolder;
    shortcut.Remove();
  }
}

BOOL CConverterApp::RunSelfInstall() {
  CAppSelfInstall manifest;
  manifest.Fill(m_strAppName);
  const BOOL end = manifest.Run(m_strCmdLineTail);
  m_nExitCode = manifest.ExitCode();
  return end;
}
