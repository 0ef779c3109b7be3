#pragma once
#include <string>

#include "installer/self_install.h"

// The program's own install manifest: its files, its three Start-menu links
// and how its running copies are found.
class CAppSelfInstall : public CSelfInstall {
 public:
  // Fills the manifest for the program with this title ("Orvane Zenvero").
  void Fill(const std::string& appTitle);

  // Removes the links of the older Start-menu folder "Zenvero".
  void OnInstalled(const std::string& installFolder) override;
};
