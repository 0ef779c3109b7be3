// Shows the setup backdrop with the licence agreement over it, as the
// installer does, for screenshots: installer_preview FOLDER (ending with a
// backslash) shows FOLDER\License.rtf. Ends when the dialog is answered.
#include <windows.h>

#include "framework/win_app.h"
#include "installer/backdrop.h"
#include "installer/license_dlg.h"

class CPreviewApp : public CWinApp {
 public:
  BOOL InitializeInstance() override {
    CBackdropWindow backdrop;
    backdrop.ShowWithTitle(SW_SHOW, "Setup");
    m_nExitCode = ShowLicenseAgreement(backdrop, m_strCmdLineTail) ? 2 : 1;
    return FALSE;
  }
  int ExitInstance() override { return m_nExitCode; }

 private:
  int m_nExitCode = 0;
};

CPreviewApp g_previewApp;
