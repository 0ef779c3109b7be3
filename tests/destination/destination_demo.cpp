// Shows the destination dialog over the setup backdrop as the installer does,
// for a look at it (and the screenshot that screenshot.sh takes):
//   destination_demo [SOURCE_FOLDER]
// The space needed is that of the program's files in SOURCE_FOLDER (default:
// this program's folder). Exits 0 when Install was pressed, 1 otherwise.
#include <windows.h>

#include <string>
#include <vector>

#include "app_base/module.h"
#include "installer/backdrop.h"
#include "installer/destination_dlg.h"

int main(int argc, char** argv) {
  std::string source = argc > 1 ? argv[1] : GetModuleFolder();
  if (!source.empty() && !IsPathSeparator(source.back())) source += '\\';
  const std::vector<std::string> files = {"Readme.txt", "Velmora.exe", "Velmora.hlp",
                                          "Velmora.cnt", "Velmora.chm"};
  CBackdropWindow backdrop;
  backdrop.ShowWithTitle(SW_SHOW, "Setup");
  std::string folder;
  bool cancelled = ChooseDestinationFolder(backdrop, folder, source, "Orvane Zenvero", files);
  return cancelled ? 1 : 0;
}
