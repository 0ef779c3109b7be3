#include "tests/support/shell_link.h"

#include <windows.h>

#include <shlobj.h>

#include "framework/com_ptr.h"
#include "tests/support/temp_dir.h"

// Loads a link file through the shell's link object, as the shell reads it.
bool ReadShellLink(const std::string& file, LinkContents* contents) {
  CComPtr<IShellLinkA> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              link.ReceiveVoid())))
    return false;
  CComPtr<IPersistFile> persist;
  if (FAILED(link->QueryInterface(IID_IPersistFile, persist.ReceiveVoid()))) return false;
  WCHAR wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
  if (FAILED(persist->Load(wide, STGM_READ))) return false;
  char text[MAX_PATH] = "";
  link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
  contents->path = text;
  link->GetArguments(text, MAX_PATH);
  contents->arguments = text;
  link->GetWorkingDirectory(text, MAX_PATH);
  contents->workingFolder = text;
  link->GetDescription(text, MAX_PATH);
  contents->description = text;
  int icon = -1;
  link->GetIconLocation(text, MAX_PATH, &icon);
  contents->iconFile = text;
  contents->iconIndex = icon;
  // The link object answers 1 for any show command after a load here; the
  // file's header holds the stored one.
  std::string data;
  if (!ReadWholeFile(file, &data) || data.size() < 0x40) return false;
  contents->showCommand = static_cast<unsigned char>(data[0x3C]);
  return true;
}
