// F1 in the installer's dialogs: the help file has no topics for them, so
// none is asked for, whichever dialog has the focus.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/backdrop.h"
#include "installer/destination_dlg.h"
#include "installer/license_dlg.h"
#include "resources/resource.h"
#include "tests/app/test_app.h"
#include "tests/installer_windows/window_test_util.h"
#include "tests/support/temp_dir.h"

namespace {

void PressF1() {
  HWND focus = GetFocus();
  PostMessageA(focus, WM_KEYDOWN, VK_F1, 1);
  PostMessageA(focus, WM_KEYUP, VK_F1, 0xC0000001);
}

class InstallerHelpKey : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp().Start("");
    m_Backdrop.ShowWithTitle(SW_SHOW, "Setup");
  }
  CBackdropWindow m_Backdrop;
  CTempDir m_Dir;
};

TEST_F(InstallerHelpKey, AsksForNoTopicInTheLicenceAgreement) {
  CWhenShown when("License Agreement", [](HWND dialog) {
    PressF1();
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_TRUE(ShowLicenseAgreement(m_Backdrop, m_Dir.GetPath() + "\\"));
  EXPECT_TRUE(when.m_bDone);
  EXPECT_TRUE(TestApp().m_HelpCalls.empty());
}

TEST_F(InstallerHelpKey, AsksForNoTopicInTheDestinationDialogOrTheFolderChooser) {
  HWND destinationDialog = nullptr;
  // F1 in the chooser, then Cancel in both, the chooser first (one watcher
  // of shown windows at a time: the chooser is caught as it is activated).
  CActivationHook chooser("Choose Folder", [&](HWND dialog) {
    PressF1();
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    PostMessageA(destinationDialog, WM_COMMAND, IDCANCEL, 0);
  });
  // F1 in the destination dialog itself, then Browse.
  CWhenShown destination("Choose Destination Location", [&](HWND dialog) {
    destinationDialog = dialog;
    PressF1();
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_DEST_BROWSE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_DEST_BROWSE)));
  });
  std::string folder = m_Dir.GetPath();
  EXPECT_TRUE(ChooseDestinationFolder(m_Backdrop, folder, m_Dir.GetPath() + "\\", "Orvane Zenvero",
                                      std::vector<std::string>{"Velmora.exe"}));
  EXPECT_TRUE(destination.m_bDone);
  EXPECT_EQ(1, chooser.m_nCalls);
  EXPECT_TRUE(TestApp().m_HelpCalls.empty());
}

}  // namespace
