#include "framework/wait_cursor.h"

#include <gtest/gtest.h>

namespace {

TEST(CWaitCursor, ShowsTheHourglassAndPutsBackTheCursorBefore) {
  HCURSOR arrow = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  HCURSOR wait = LoadCursorA(nullptr, MAKEINTRESOURCEA(32514));   // IDC_WAIT
  SetCursor(arrow);
  {
    CWaitCursor busy;
    EXPECT_EQ(wait, GetCursor());
  }
  EXPECT_EQ(arrow, GetCursor());
}

}  // namespace
