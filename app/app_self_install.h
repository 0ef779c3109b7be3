#pragma once
#include <string>

#include "installer/install_manifest.h"
#include "installer/self_install.h"

// The program's own install manifest: its files, its three Start-menu links
// (and the older ones that an installation removes) and how its running
// copies are found; for the program with this title ("Orvane Zenvero").
CInstallManifest AppInstallManifest(const std::string& appTitle);

// The installer with the program's own manifest.
class CAppSelfInstall : public CSelfInstall {
 public:
  explicit CAppSelfInstall(const std::string& appTitle) : CSelfInstall(AppInstallManifest(appTitle)) {}
};
