// The installer's progress box on its real template: text, placement, the
// disabled parent and the minimum time on the screen.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "installer/backdrop.h"
#include "installer/progress_box.h"
#include "resources/resource.h"
#include "tests/app/test_app.h"
#include "tests/installer_windows/window_test_util.h"

namespace {

POINT Centre(const RECT& rect) {
  return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

class MessageDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp().Start("");
    m_Backdrop.ShowWithTitle(SW_SHOW, "Setup");
  }
  CBackdropWindow m_Backdrop;
};

TEST(MessageDlgTime, WaitsForWhatIsLeftOfHalfASecond) {
  struct Case {
    DWORD start, now, wait;
  } cases[] = {
      {1000, 1000, 500},             // at once
      {1000, 1100, 400},             // a quick step
      {1000, 1499, 1},
      {1000, 1500, 0},               // exactly 500 ms
      {1000, 1501, 0},
      {1000, 3000, 0},               // a long step
      {0xFFFFFF00u, 0xFFFFFFFFu, 245},
      {0xFFFFFF00u, 0x00000010u, 0},  // the tick count wrapped around
      {5, 4, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.wait, CProgressBox::RemainingDisplayTime(c.start, c.now))
        << c.start << " " << c.now;
  }
}

TEST_F(MessageDlgTest, ShowsPaintedTextCentredOverTheDisabledParentForItsScope) {
  HWND box;
  {
    CProgressBox message("Installing the program...", m_Backdrop);
    box = message.m_hWnd;
    ASSERT_NE(nullptr, box);
    EXPECT_TRUE(IsWindowVisible(box));
    EXPECT_EQ(m_Backdrop.m_hWnd, GetWindow(box, GW_OWNER));
    EXPECT_EQ("Installing the program...", message.GetDlgItemText(IDC_MESSAGE_TEXT));
    EXPECT_FALSE(IsWindowEnabled(m_Backdrop));

    POINT over = Centre(m_Backdrop.GetWindowRect());
    POINT self = Centre(message.GetWindowRect());
    EXPECT_LE(std::abs(over.x - self.x), 1);
    EXPECT_LE(std::abs(over.y - self.y), 1);

    // Painted before the caller's work starts, text and icon included.
    EXPECT_FALSE(GetUpdateRect(box, nullptr, FALSE));
    EXPECT_FALSE(GetUpdateRect(GetDlgItem(box, IDC_MESSAGE_TEXT), nullptr, FALSE));
    EXPECT_FALSE(GetUpdateRect(m_Backdrop, nullptr, FALSE));
  }
  EXPECT_FALSE(IsWindow(box));
  EXPECT_TRUE(IsWindowEnabled(m_Backdrop));
}

TEST_F(MessageDlgTest, AQuickStepKeepsTheBoxUpHalfASecondALongOneClosesAtOnce) {
  struct Case {
    DWORD work, minimum, maximum;
  } cases[] = {{100, 480, 1500}, {2000, 2000, 2400}};
  for (const Case& c : cases) {
    DWORD start = GetTickCount();
    DWORD closing;
    {
      CProgressBox message("Closing programs...", m_Backdrop);
      Sleep(c.work);
      closing = GetTickCount();
    }
    DWORD shown = Since(start);
    EXPECT_GE(shown, c.minimum) << c.work;
    EXPECT_LE(shown, c.maximum) << c.work;
    if (c.work >= 2000) {
      EXPECT_LE(Since(closing), 250u);
    }
  }
}

TEST_F(MessageDlgTest, AWindowDestroyedEarlyStillWaitsAndEnablesTheParent) {
  DWORD start = GetTickCount();
  {
    CProgressBox message("Uninstalling the program...", m_Backdrop);
    ASSERT_NE(nullptr, message.m_hWnd);
    DestroyWindow(message.m_hWnd);
    EXPECT_EQ(nullptr, message.m_hWnd);
  }
  EXPECT_GE(Since(start), 480u);
  EXPECT_TRUE(IsWindowEnabled(m_Backdrop));
}

TEST_F(MessageDlgTest, WithoutAParentItIsCentredOnTheScreenAndTouchesNoWindow) {
  RECT work;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  {
    CProgressBox message("Checking necessary disk space...", nullptr);
    ASSERT_NE(nullptr, message.m_hWnd);
    EXPECT_EQ(nullptr, GetWindow(message, GW_OWNER));
    POINT screen = Centre(work);
    POINT self = Centre(message.GetWindowRect());
    EXPECT_LE(std::abs(screen.x - self.x), 1);
    EXPECT_LE(std::abs(screen.y - self.y), 1);
    EXPECT_TRUE(IsWindowEnabled(m_Backdrop));
  }
  EXPECT_TRUE(IsWindowEnabled(m_Backdrop));
}

// The owner of a modal dialog that shows the box stays disabled afterwards.
TEST_F(MessageDlgTest, AParentDisabledBeforeStaysDisabled) {
  EnableWindow(m_Backdrop, FALSE);
  {
    CProgressBox message("Opening License Agreement...", m_Backdrop);
    EXPECT_FALSE(IsWindowEnabled(m_Backdrop));
  }
  EXPECT_FALSE(IsWindowEnabled(m_Backdrop));
  EnableWindow(m_Backdrop, TRUE);
}

TEST_F(MessageDlgTest, ABoxThatCannotBeCreatedNeitherWaitsNorDisables) {
  HWND gone;
  {
    CBackdropWindow other;
    gone = other.m_hWnd;
  }
  DWORD start = GetTickCount();
  {
    CProgressBox message("Installing the program...", gone);
    EXPECT_EQ(nullptr, message.m_hWnd);
  }
  EXPECT_LT(Since(start), 250u);
  {
    CProgressBox unused;
    EXPECT_EQ(nullptr, unused.m_hWnd);
  }
}

}  // namespace
