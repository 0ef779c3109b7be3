#include "app/converter_app.h"

#include <ole2.h>

#include <exception>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "app/main_dlg.h"
#include "app_base/module.h"
#include "app_base/settings.h"
#include "framework/path.h"
#include "resources/resource.h"

namespace {

const char kRegistryKey[] = "Orvane";
const char kProfileName[] = "Zenvero";

// The pages of the HTML Help file (help/velmora.but names them after their
// headings) for the help contexts 0x20000 + dialog template. The help build's
// test reads this table: keep one entry a line.
const char kHelpContentsPage[] = "Contents.html";
// Plain constants: the application object is built before other files'
// objects with constructors.
struct HelpPage {
  ULONG_PTR context;
  const char* page;
};
const HelpPage kHelpPages[] = {
    {0x20066, "TheOrvaneZenverowindow.html"},          // main window, template 102
    {0x20064, "AboutOrvaneZenvero.html"},              // About box, template 100
    {0x20081, "ConvertMultipleFilestheresults.html"},  // results dialog, template 129
};

// The HTML Help file beside the program: its path with ".chm", as the WinHelp
// file is its path with ".HLP".
std::string HtmlHelpFile() {
  const std::string path = GetModulePath();
  return path.empty() ? std::string() : WithExtension(path, ".chm");
}

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
    MapCommand(ID_HELP, &CConverterApp::OnHelp),
};
const MessageMap CConverterApp::kMessageMap =
    MakeMessageMap(&CCmdTarget::kMessageMap, kMessageEntries);

// The help file's pages for the help contexts.
std::vector<CWinApp::HtmlHelpTopic> HelpTopics() {
  std::vector<CWinApp::HtmlHelpTopic> topics;
  for (const HelpPage& page : kHelpPages) topics.push_back({page.context, page.page});
  return topics;
}

CConverterApp::CConverterApp() : CWinApp(nullptr) { SetHtmlHelp(HtmlHelpFile(), HelpTopics(), kHelpContentsPage); }

CConverterApp::~CConverterApp() = default;

void CConverterApp::WinHelp(ULONG_PTR data, UINT command) {
  if (!OpenHelp(data, command)) AfxMessageBox(IDS_HELP_FAILED);
}

void CConverterApp::OnHelp() {
  const ULONG_PTR context = HelpContextAtFocus();
  if (context != 0) WinHelp(context, HELP_CONTEXT);
}

int CConverterApp::ExitInstance() {
  CWinApp::ExitInstance();
  return m_nExitCode;
}

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

  // The program's text is UTF-8 from here on, the installer's included:
  // names in any script reach the boxes, the files, the histories and the
  // install folder.
  UseUtf8Text();
  if (RunSelfInstall()) return FALSE;

  SetHtmlHelp(HtmlHelpFile(), HelpTopics(), kHelpContentsPage);

  CMainDlg dlg(this);
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
