// The setup backdrop and the installer's message boxes, on real windows.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "framework/dialog.h"
#include "installer/backdrop.h"
#include "resources/resource.h"
#include "tests/app/test_app.h"
#include "tests/installer_windows/window_test_util.h"

namespace {

const DWORD kRed = 0x00CC0000;  // 0x000000CC as read back from a 32-bit DIB
const DWORD kWhite = 0x00FFFFFF;
const DWORD kBlack = 0x00000000;

class BackdropTest : public ::testing::Test {
 protected:
  void SetUp() override { TestApp().Start(""); }
};

TEST_F(BackdropTest, IsCreatedHiddenAndUntitledWithItsOwnClass) {
  CBackdropWindow backdrop;
  HWND hwnd = backdrop.m_hWnd;
  ASSERT_NE(nullptr, hwnd);
  EXPECT_FALSE(IsWindowVisible(hwnd));
  EXPECT_EQ("", backdrop.GetWindowText());
  EXPECT_EQ("", backdrop.GetTitle());
  EXPECT_EQ(nullptr, GetParent(hwnd));
  EXPECT_EQ(static_cast<DWORD>(WS_OVERLAPPEDWINDOW),
            GetWindowLongA(hwnd, GWL_STYLE) & (WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CHILD));
  EXPECT_EQ(0, GetWindowLongA(hwnd, GWL_EXSTYLE) & ~(WS_EX_WINDOWEDGE));

  EXPECT_EQ(static_cast<ULONG_PTR>(CS_HREDRAW | CS_VREDRAW), GetClassLongPtrA(hwnd, GCL_STYLE));
  EXPECT_EQ(reinterpret_cast<ULONG_PTR>(LoadCursorA(nullptr, IDC_ARROW)),
            GetClassLongPtrA(hwnd, GCLP_HCURSOR));
  EXPECT_EQ(reinterpret_cast<ULONG_PTR>(
                LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_SETUP))),
            GetClassLongPtrA(hwnd, GCLP_HICON));
  auto brush = reinterpret_cast<HBRUSH>(GetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND));
  LOGBRUSH logBrush = {};
  ASSERT_EQ(static_cast<int>(sizeof logBrush), GetObjectA(brush, sizeof logBrush, &logBrush));
  EXPECT_EQ(static_cast<UINT>(BS_SOLID), logBrush.lbStyle);
  EXPECT_EQ(0x000000CCu, logBrush.lbColor);

  // The backdrop is recognised from its handle, other windows are not.
  EXPECT_EQ(&backdrop, CBackdropWindow::FindBackdrop(hwnd));
  EXPECT_EQ(nullptr, CBackdropWindow::FindBackdrop(GetDesktopWindow()));
}

TEST_F(BackdropTest, ShowWithTitleNamesTheRunAndShowsTheWindow) {
  for (const char* suffix : {"Setup", "Uninstall"}) {
    CBackdropWindow backdrop;
    backdrop.ShowWithTitle(SW_SHOW, suffix);
    std::string expected = std::string("Orvane Zenvero ") + suffix;
    EXPECT_EQ(expected, backdrop.GetWindowText());
    EXPECT_EQ(expected, backdrop.GetTitle());
    EXPECT_TRUE(IsWindowVisible(backdrop));
  }
}

TEST_F(BackdropTest, DestroyingTheObjectDestroysTheWindowEvenAfterItWasClosed) {
  HWND hwnd;
  {
    CBackdropWindow backdrop;
    hwnd = backdrop.m_hWnd;
  }
  EXPECT_FALSE(IsWindow(hwnd));
  {
    CBackdropWindow backdrop;
    backdrop.ShowWithTitle(SW_SHOW, "Setup");
    SendMessageA(backdrop, WM_CLOSE, 0, 0);  // the default handling destroys it
    EXPECT_EQ(nullptr, backdrop.m_hWnd);
    EXPECT_EQ(nullptr, CBackdropWindow::FindBackdrop(hwnd));
  }
}

TEST(BackdropFont, IsTimesNewRoman28PointsForTheDeviceResolution) {
  struct Case {
    int dpi;
    LONG height;
  } cases[] = {{96, -37}, {120, -46}, {72, -28}, {144, -56}};
  for (const Case& c : cases) {
    LOGFONTA font = CBackdropWindow::TitleFont(c.dpi);
    EXPECT_EQ(c.height, font.lfHeight) << c.dpi;
    EXPECT_STREQ("Times New Roman", font.lfFaceName);
    EXPECT_EQ(DEFAULT_CHARSET, font.lfCharSet);
    EXPECT_EQ(0, font.lfWidth);
    EXPECT_EQ(0, font.lfWeight);
  }
}

// The white title at one space from the corner, its black shadow 2 pixels
// further, dark red everywhere else; also after the window has grown.
TEST_F(BackdropTest, PaintsTheTitleWhiteOverABlackShadowOnRed) {
  CBackdropWindow backdrop;
  SetWindowPos(backdrop, nullptr, 0, 0, 700, 300, SWP_NOZORDER | SWP_NOACTIVATE);
  backdrop.ShowWithTitle(SW_SHOW, "Setup");

  // The title's measures in the font the window paints with.
  HDC dc = GetDC(backdrop);
  ASSERT_EQ(96, GetDeviceCaps(dc, LOGPIXELSY));
  LOGFONTA logFont = CBackdropWindow::TitleFont(96);
  ASSERT_EQ(-37, logFont.lfHeight);
  HFONT font = CreateFontIndirectA(&logFont);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE space, title;
  GetTextExtentPoint32A(dc, " ", 1, &space);
  const std::string text = "Orvane Zenvero Setup";
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &title);
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(backdrop, dc);
  const int margin = space.cx;
  ASSERT_GT(margin, 0);

  for (int width : {700, 900}) {
    SetWindowPos(backdrop, nullptr, 0, 0, width, 300, SWP_NOZORDER | SWP_NOMOVE);
    UpdateWindow(backdrop);
    CClientCapture shot = CaptureClient(backdrop);
    ASSERT_GT(shot.width, margin + title.cx + 10);
    ASSERT_GT(shot.height, margin + title.cy + 10);

    int whiteLeft = shot.width, whiteTop = shot.height, whiteRight = -1, whiteBottom = -1;
    int blackLeft = shot.width, blackTop = shot.height;
    int white = 0, black = 0, strays = 0;
    for (int y = 0; y < shot.height; ++y) {
      for (int x = 0; x < shot.width; ++x) {
        DWORD pixel = shot.At(x, y);
        if (pixel == kWhite) {
          ++white;
          whiteLeft = std::min(whiteLeft, x);
          whiteTop = std::min(whiteTop, y);
          whiteRight = std::max(whiteRight, x);
          whiteBottom = std::max(whiteBottom, y);
        } else if (pixel == kBlack) {
          ++black;
          blackLeft = std::min(blackLeft, x);
          blackTop = std::min(blackTop, y);
        }
        bool inText = x >= margin && x < margin + title.cx + 3 && y >= margin &&
                      y < margin + title.cy + 3;
        if (!inText && pixel != kRed) ++strays;
      }
    }
    EXPECT_EQ(0, strays) << "width " << width;
    EXPECT_GT(white, 200);
    EXPECT_GT(black, 50);
    // The text starts at the margin, the shadow 2 pixels right and down.
    EXPECT_GE(whiteLeft, margin);
    EXPECT_LE(whiteLeft, margin + 6);
    EXPECT_GE(whiteTop, margin);
    EXPECT_GE(blackLeft, margin + 2);
    EXPECT_LE(blackLeft, margin + 8);
    EXPECT_GE(blackTop, margin + 2);
    // A 28-point title: as wide as measured, its letters most of 37 pixels high.
    EXPECT_GE(whiteRight, margin + title.cx - 12);
    EXPECT_LT(whiteRight, margin + title.cx);
    EXPECT_GE(whiteBottom - whiteTop, 37 / 2);
    EXPECT_LE(whiteBottom - whiteTop, 37);
  }

  // Narrower than the title: the same corner, the text cut off at the edge.
  SetWindowPos(backdrop, nullptr, 0, 0, margin + title.cx / 2, 300, SWP_NOZORDER | SWP_NOMOVE);
  UpdateWindow(backdrop);
  CClientCapture narrow = CaptureClient(backdrop);
  ASSERT_LT(narrow.width, margin + title.cx);
  int whiteLeft = narrow.width, whiteRight = -1;
  for (int y = 0; y < narrow.height; ++y) {
    for (int x = 0; x < narrow.width; ++x) {
      if (narrow.At(x, y) != kWhite) continue;
      whiteLeft = std::min(whiteLeft, x);
      whiteRight = std::max(whiteRight, x);
    }
  }
  EXPECT_GE(whiteLeft, margin);
  EXPECT_LE(whiteLeft, margin + 6);
  EXPECT_GE(whiteRight, narrow.width - 12);
}

// ---- installer message boxes ------------------------------------------------

class InstallerMessageBoxTest : public BackdropTest {};

TEST_F(InstallerMessageBoxTest, TakesTheCaptionOfTheNearestBackdropAbove) {
  for (const char* suffix : {"Setup", "Uninstall"}) {
    TestApp().m_Boxes.clear();
    CBackdropWindow backdrop;
    backdrop.ShowWithTitle(SW_SHOW, suffix);
    CDialog dialog(IDD_SELFINSTALL_LICENSE);
    ASSERT_TRUE(dialog.Create(backdrop));
    HWND control = GetDlgItem(dialog, IDOK);
    TestApp().m_nAnswer = IDNO;

    EXPECT_EQ(IDNO, InstallerMessageBox(control, "From a control.", MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(IDNO, InstallerMessageBox(dialog, "From the dialog.", MB_OK));
    EXPECT_EQ(IDNO, InstallerMessageBox(backdrop, "From the backdrop.", MB_OKCANCEL));

    const std::string caption = std::string("Orvane Zenvero ") + suffix;
    ASSERT_EQ(3u, TestApp().m_Boxes.size());
    const auto& boxes = TestApp().m_Boxes;
    EXPECT_EQ(control, boxes[0].owner);
    EXPECT_EQ("From a control.", boxes[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), boxes[0].type);
    EXPECT_EQ(dialog.m_hWnd, boxes[1].owner);
    EXPECT_EQ(static_cast<UINT>(MB_OK), boxes[1].type);  // no icon added
    EXPECT_EQ(backdrop.m_hWnd, boxes[2].owner);
    for (const auto& box : boxes) EXPECT_EQ(caption, box.caption);
  }
}

TEST_F(InstallerMessageBoxTest, WithoutABackdropTheCaptionIsTheApplicationTitle) {
  CBackdropWindow hiddenBackdrop;  // not above the owners below
  CDialog dialog(IDD_SELFINSTALL_MESSAGE);
  ASSERT_TRUE(dialog.Create());
  InstallerMessageBox(dialog, "No backdrop.", MB_OK | MB_ICONEXCLAMATION);
  InstallerMessageBox(nullptr, "No owner.", MB_OK | MB_ICONEXCLAMATION);
  ASSERT_EQ(2u, TestApp().m_Boxes.size());
  EXPECT_EQ("Orvane Zenvero", TestApp().m_Boxes[0].caption);
  EXPECT_EQ(nullptr, TestApp().m_Boxes[1].owner);
  EXPECT_EQ("Orvane Zenvero", TestApp().m_Boxes[1].caption);
}

// A real box: its caption, text and owner, answered by the test.
TEST_F(InstallerMessageBoxTest, ARealBoxIsOwnedAndCaptionedAndReturnsTheAnswer) {
  TestApp().m_bRealBoxes = true;
  CBackdropWindow backdrop;
  backdrop.ShowWithTitle(SW_SHOW, "Uninstall");
  HWND owner = nullptr;
  std::string text;
  CActivationHook hook("Orvane Zenvero Uninstall", [&](HWND box) {
    if (box == backdrop.m_hWnd) return;
    owner = GetWindow(box, GW_OWNER);
    char buffer[256] = "";
    GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer);
    text = buffer;
    PostMessageA(box, WM_COMMAND, IDNO, 0);
  });
  EXPECT_EQ(IDNO, InstallerMessageBox(backdrop, "Remove it?", MB_YESNO | MB_ICONQUESTION));
  EXPECT_EQ(backdrop.m_hWnd, owner);
  EXPECT_EQ("Remove it?", text);
}

TEST_F(InstallerMessageBoxTest, ShowLastErrorMessageAddsTheSystemTextOfTheLastError) {
  CBackdropWindow backdrop;
  backdrop.ShowWithTitle(SW_SHOW, "Setup");
  char* expected = nullptr;
  ASSERT_NE(0u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                               nullptr, ERROR_FILE_NOT_FOUND,
                               MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                               reinterpret_cast<char*>(&expected), 0, nullptr));
  std::string systemText = expected;
  LocalFree(expected);

  SetLastError(ERROR_FILE_NOT_FOUND);
  ShowLastErrorMessage(backdrop, "Unable to copy the file.");
  ASSERT_EQ(1u, TestApp().m_Boxes.size());
  const auto& box = TestApp().m_Boxes[0];
  EXPECT_EQ("Unable to copy the file.\n\n" + systemText, box.text);
  EXPECT_FALSE(systemText.empty());
  EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), box.type);
  EXPECT_EQ("Orvane Zenvero Setup", box.caption);
  EXPECT_EQ(backdrop.m_hWnd, box.owner);
}

}  // namespace
