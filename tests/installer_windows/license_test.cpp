// The licence agreement on its real template, shown modally over the
// backdrop and answered from inside its modal loop.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>

#include "framework/handle.h"
#include "installer/backdrop.h"
#include "installer/license_dlg.h"
#include "resources/resource.h"
#include "tests/app/test_app.h"
#include "tests/installer_windows/window_test_util.h"
#include "tests/support/temp_dir.h"

namespace {

const char kLicenseRtf[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Times New Roman;}}\n"
    "{\\b Test Licence\\par}\n"
    "Permission is granted to try this.\\par\n"
    "}\n";

std::string Text(HWND hwnd) {
  char buffer[1024] = "";
  GetWindowTextA(hwnd, buffer, sizeof buffer);
  return buffer;
}

// What the licence dialog showed, read from inside its modal loop.
struct Seen {
  bool shown = false;
  std::string question;
  std::string licence;
  DWORD style = 0;
  RECT frame = {}, text = {}, dialog = {};
  bool backdropEnabled = true;
  int focusId = 0;
  CHARRANGE afterTab = {-1, -1};
};

// The progress box the dialog showed while reading, caught as it goes.
struct ProgressBox {
  std::string text;
  HWND owner = nullptr;
};
ProgressBox* g_progress = nullptr;

LRESULT CALLBACK WatchProgress(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_DESTROYWND && g_progress != nullptr) {
    HWND hwnd = reinterpret_cast<HWND>(wParam);
    HWND text = GetDlgItem(hwnd, IDC_MESSAGE_TEXT);
    if (text != nullptr && GetDlgItem(hwnd, IDC_LICENSE_QUESTION) == nullptr) {
      g_progress->text = Text(text);
      g_progress->owner = GetWindow(hwnd, GW_OWNER);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

class LicenseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp().Start("");
    m_Backdrop.ShowWithTitle(SW_SHOW, "Setup");
    m_strFolder = m_Dir.GetPath() + "\\";
  }

  // Shows the agreement, notes what it shows, then lets `answer` end it.
  bool Run(void (*answer)(HWND dialog), Seen& seen, ProgressBox* progress = nullptr) {
    g_progress = progress;
    HHOOK hook = SetWindowsHookExA(WH_CBT, WatchProgress, nullptr, GetCurrentThreadId());
    HWND backdrop = m_Backdrop;
    CWhenShown when("License Agreement", [&](HWND dialog) {
      seen.shown = true;
      seen.question = Text(GetDlgItem(dialog, IDC_LICENSE_QUESTION));
      HWND text = GetDlgItem(dialog, IDC_LICENSE_TEXT);
      seen.licence = Text(text);
      seen.style = GetWindowLongA(text, GWL_STYLE);
      GetWindowRect(GetDlgItem(dialog, IDC_LICENSE_FRAME), &seen.frame);
      GetWindowRect(text, &seen.text);
      GetWindowRect(dialog, &seen.dialog);
      seen.backdropEnabled = IsWindowEnabled(backdrop) != FALSE;
      seen.focusId = GetDlgCtrlID(GetFocus());
      answer(dialog);
    });
    bool declined = ShowLicenseAgreement(m_Backdrop, m_strFolder);
    UnhookWindowsHookEx(hook);
    g_progress = nullptr;
    EXPECT_TRUE(when.m_bDone);
    return declined;
  }

  CBackdropWindow m_Backdrop;
  CTempDir m_Dir;
  std::string m_strFolder;
};

void PressKey(WPARAM key) {
  HWND focus = GetFocus();
  PostMessageA(focus, WM_KEYDOWN, key, 1);
  PostMessageA(focus, WM_KEYUP, key, 0xC0000001);
}

// Every way out but Yes declines; Enter at once presses the default No.
TEST_F(LicenseTest, EnterEscAndTheCloseBoxDeclineYesAccepts) {
  ASSERT_TRUE(WriteWholeFile(m_Dir / "License.rtf", kLicenseRtf));
  struct Case {
    const char* name;
    void (*answer)(HWND);
    bool declined;
  } cases[] = {
      {"Enter", [](HWND) { PressKey(VK_RETURN); }, true},
      {"Esc", [](HWND) { PressKey(VK_ESCAPE); }, true},
      {"close box", [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, true},
      {"No", [](HWND d) { PostMessageA(GetDlgItem(d, IDCANCEL), BM_CLICK, 0, 0); }, true},
      {"Yes", [](HWND d) { PostMessageA(GetDlgItem(d, IDOK), BM_CLICK, 0, 0); }, false},
  };
  for (const Case& c : cases) {
    Seen seen;
    EXPECT_EQ(c.declined, Run(c.answer, seen)) << c.name;
    EXPECT_EQ(IDCANCEL, seen.focusId) << c.name;  // No has the focus first
    EXPECT_TRUE(IsWindowEnabled(m_Backdrop)) << c.name;
  }
}

TEST_F(LicenseTest, ShowsTheLicenceFileAsRichTextUnderTheQuestion) {
  // Longer than the control, so that its scroll bar stays.
  std::string rtf = kLicenseRtf;
  rtf.pop_back();
  rtf.pop_back();
  for (int i = 1; i <= 40; ++i) rtf += "Clause " + std::to_string(i) + ".\\par\n";
  rtf += "}\n";
  ASSERT_TRUE(WriteWholeFile(m_Dir / "License.rtf", rtf));
  Seen seen;
  ProgressBox progress;
  Run([](HWND d) { PostMessageA(d, WM_COMMAND, IDCANCEL, 0); },
      seen, &progress);
  ASSERT_TRUE(seen.shown);
  EXPECT_EQ(
      "Do you accept the all terms of the License Agreement?  If you choose \"No\", Orvane "
      "Zenvero will close.  You must accept this License Agreement to use Orvane Zenvero.",
      seen.question);
  EXPECT_EQ(0, seen.licence.find("Test Licence")) << seen.licence;
  EXPECT_NE(std::string::npos, seen.licence.find("Permission is granted to try this."));
  EXPECT_NE(std::string::npos, seen.licence.find("Clause 40."));
  EXPECT_EQ(std::string::npos, seen.licence.find("rtf1"));
  EXPECT_EQ(0x50A30844u, seen.style);
  EXPECT_TRUE(EqualRect(&seen.frame, &seen.text));
  EXPECT_FALSE(seen.backdropEnabled);  // the modal dialog's owner
  RECT backdrop = m_Backdrop.GetWindowRect();
  EXPECT_LE(std::abs((backdrop.left + backdrop.right) - (seen.dialog.left + seen.dialog.right)), 2);
  EXPECT_LE(std::abs((backdrop.top + backdrop.bottom) - (seen.dialog.top + seen.dialog.bottom)), 2);
  // The progress box was up while the file was read, owned by the backdrop.
  EXPECT_EQ("Opening License Agreement...", progress.text);
  EXPECT_EQ(m_Backdrop.m_hWnd, progress.owner);
}

TEST_F(LicenseTest, TheFocusCollapsesTheSelectionToTheStart) {
  ASSERT_TRUE(WriteWholeFile(m_Dir / "License.rtf", kLicenseRtf));
  static CHARRANGE s_range;
  s_range = {-1, -1};
  Seen seen;
  Run(
      [](HWND dialog) {
        HWND text = GetDlgItem(dialog, IDC_LICENSE_TEXT);
        // What the dialog manager does on Tab: select all, then focus.
        SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(text), TRUE);
        SendMessageA(text, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&s_range));
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      },
      seen);
  EXPECT_EQ(0, s_range.cpMin);
  EXPECT_EQ(0, s_range.cpMax);
}

// The licence that ships beside the program: formatted, headings in bold.
TEST_F(LicenseTest, TheShippedLicenceIsRichText) {
  m_strFolder = VELMORA_DIST_FOLDER;
  static CHARFORMATA s_heading, s_body;
  Seen seen;
  Run(
      [](HWND dialog) {
        HWND text = GetDlgItem(dialog, IDC_LICENSE_TEXT);
        for (auto [start, format] : {std::pair<long, CHARFORMATA*>{0, &s_heading},
                                     std::pair<long, CHARFORMATA*>{60, &s_body}}) {
          CHARRANGE range = {start, start + 1};
          SendMessageA(text, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
          *format = {};
          format->cbSize = sizeof(CHARFORMATA);
          SendMessageA(text, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(format));
        }
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      },
      seen);
  EXPECT_EQ(0, seen.licence.find("Orvane Zenvero\r\nLicense Agreement\r\nCopyright")) << seen.licence;
  EXPECT_NE(std::string::npos, seen.licence.find("Permission is hereby granted"));
  EXPECT_TRUE(s_heading.dwEffects & CFE_BOLD);
  EXPECT_FALSE(s_body.dwEffects & CFE_BOLD);
}

// Without a readable licence the dialog still comes, says so, and Yes goes on.
TEST_F(LicenseTest, AMissingOrLockedFileShowsTheErrorTextAndYesStillAccepts) {
  for (bool locked : {false, true}) {
    CHandle held;
    if (locked) {
      ASSERT_TRUE(WriteWholeFile(m_Dir / "License.rtf", kLicenseRtf));
      // Held open by a reader that shares it with readers and writers alike:
      // only an open that denies all sharing, as the dialog's does, fails.
      held.Attach(CreateFileA((m_Dir / "License.rtf").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr));
      ASSERT_NE(INVALID_HANDLE_VALUE, held.Get());
    }
    Seen seen;
    ProgressBox progress;
    bool declined = Run(
        [](HWND d) { PostMessageA(GetDlgItem(d, IDOK), BM_CLICK, 0, 0); }, seen, &progress);
    held.Close();
    EXPECT_FALSE(declined) << locked;
    EXPECT_EQ("The License Agreement could not be opened.", seen.licence) << locked;
    EXPECT_EQ("Opening License Agreement...", progress.text) << locked;
    EXPECT_TRUE(TestApp().m_Boxes.empty());
  }
}

}  // namespace
