// Loads the libraries the program loads, the way the program does, and
// answers with its exit code which of them is a planted one: 1 for the
// rich edit library, 2 for HTML Help.
//   planted_dll_probe            the program's way: restricted search, full paths
//   planted_dll_probe bare       bare names with the search as Windows leaves it
//   planted_dll_probe restricted bare names after the restriction alone
#include <windows.h>

#include <htmlhelp.h>

#include <cstring>

#include "framework/controls.h"
#include "framework/system_library.h"
#include "framework/win_app.h"

namespace {

bool IsPlanted(const char* name) {
  HMODULE module = GetModuleHandleA(name);
  return module != nullptr && GetProcAddress(module, "PlantedLibrary") != nullptr;
}

// The help as the program calls it.
class CProbeApp : public CWinApp {
 public:
  CProbeApp() : CWinApp("probe") {}
  using CWinApp::CallHtmlHelp;
};

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  if (std::strcmp(mode, "bare") != 0) RestrictDllSearchToSystem();
  if (std::strcmp(mode, "bare") == 0 || std::strcmp(mode, "restricted") == 0) {
    LoadLibraryA("RICHED32.DLL");
    LoadLibraryA("hhctrl.ocx");
  } else {
    // The rich edit box and the help as the licence dialog and F1 reach them.
    CRichEditCtrl edit;
    const RECT rect = {0, 0, 10, 10};
    edit.Create(WS_POPUP, rect, nullptr, 1);
    edit.DestroyWindow();
    CProbeApp app;
    app.CallHtmlHelp(nullptr, nullptr, HH_CLOSE_ALL, 0);
  }
  return (IsPlanted("riched32.dll") ? 1 : 0) | (IsPlanted("hhctrl.ocx") ? 2 : 0);
}
