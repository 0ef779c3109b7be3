#include "app/converter_app.h"

#include <ole2.h>

#include <exception>
#include <new>

#include "app/main_dlg.h"
#include "app/settings.h"
#include "resources/resource.h"

namespace {

const char kRegistryKey[] = "Orvane";
const char kProfileName[] = "Zenvero";

// OLE for the whole start-up (the installer's shell links need it).
class COleInitializer {
 public:
  COleInitializer() : m_bOk(SUCCEEDED(OleInitialize(nullptr))) {}
  COleInitializer(const COleInitializer&) = delete;
  COleInitializer& operator=(const COleInitializer&) = delete;
  ~COleInitializer() {
    if (m_bOk) OleUninitialize();
  }
  bool Ok() const { return m_bOk; }

 private:
  bool m_bOk;
};

}  // namespace

const MessageMapEntry CConverterApp::kMessageEntries[] = {
    MapCommand(ID_HELP, &CWinApp::OnHelp),
};
const MessageMap CConverterApp::kMessageMap =
    MakeMessageMap(&CCmdTarget::kMessageMap, kMessageEntries);

CConverterApp::CConverterApp() : CWinApp(nullptr) {}

CConverterApp::~CConverterApp() = default;

BOOL CConverterApp::InitializeInstance() {
  COleInitializer ole;
  if (!ole.Ok()) {
    AfxMessageBox(IDS_OLE_INIT_FAILED, MB_OK);
    return FALSE;
  }

  SetRegistryKey(kRegistryKey);
  try {
    SetProfileName(kProfileName);
  } catch (const std::bad_alloc&) {
    AfxMessageBox("Out of memory allocating profile name.", MB_ICONEXCLAMATION);
    return FALSE;
  }
  SetProfileLocation(m_strRegistryKey.c_str(), m_strProfileName.c_str());

  if (RunSelfInstall()) return FALSE;

  CMainDlg dlg;
  CCommandLineInfo cmdInfo;
  ParseCommandLine(cmdInfo);
  if (cmdInfo.m_nShellCommand == CCommandLineInfo::FileOpen) dlg.m_strSource = cmdInfo.m_strFileName;

  m_pMainWnd = &dlg;
  try {
    dlg.DoModal();
  } catch (...) {
    // The main window went with the exception (it came from outside a
    // command): tell the user rather than end without a word.
    m_pMainWnd = nullptr;
    AfxMessageBox(CommandFailureText(std::current_exception()).c_str(), MB_OK | MB_ICONEXCLAMATION);
  }
  m_pMainWnd = nullptr;
  return FALSE;
}
