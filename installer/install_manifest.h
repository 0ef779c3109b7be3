#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "installer/close_programs.h"
#include "installer/shortcuts.h"

// The install manifest: what the program installs, as plain data that the
// program fills in at every start and hands to the installer (CSelfInstall).
// Nothing here decides anything; the installer's steps read it.

// A registry string value that install step 2 writes (under an existing key)
// and uninstall deletes.
struct CSelfInstallRegValue {
  CSelfInstallRegValue(HKEY root, const std::string& subKey, const std::string& valueName, const std::string& value)
      : Root(root), SubKey(subKey), ValueName(valueName), Value(value) {}
  HKEY Root;
  std::string SubKey;
  std::string ValueName;
  std::string Value;
};

// A registry key tree that uninstall deletes.
struct CSelfInstallRegKey {
  CSelfInstallRegKey(HKEY root, const std::string& subKey) : Root(root), SubKey(subKey) {}
  HKEY Root;
  std::string SubKey;
};

struct CInstallManifest {
  std::string ExeName;                          // the program's file, in FilesToCopy
  std::vector<std::string> FilesToCopy;         // copied by install step 1, deleted by uninstall
  std::vector<std::string> FilesToDelete;       // deleted by uninstall only
  std::vector<CSelfInstallShortcut> Shortcuts;  // made by step 2, removed by uninstall
  // Links an earlier version made that step 2 removes (from this user's
  // folders), after the uninstall entry and before the installation record.
  std::vector<CSelfInstallShortcut> EarlierShortcuts;
  bool AskDesktopShortcut = false;  // step 1 asks whether to make the desktop link
  bool RunAtStartup = false;        // the per-user Run entry, with RunArguments
  std::string RunArguments;
  bool AppPath = false;  // the App Paths entry, with AppPathPath as its "Path"
  std::string AppPathPath;
  std::vector<CSelfInstallRegValue> RegValues;
  std::vector<CSelfInstallRegKey> RegKeys;
  // Running copies are found by the class or else the caption of their
  // windows; further programs to close before the files are touched.
  std::string CloseWindowClass;
  std::string CloseWindowTitle;
  std::vector<CSelfInstallProgram> ProgramsToClose;
};
