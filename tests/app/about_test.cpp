// The version text and the About box.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/about_dlg.h"
#include "app_base/version.h"
#include "resources/resource.h"
#include "tests/app/test_app.h"

namespace {

// A version resource block (VS_VERSIONINFO) holding only the fixed part.
std::vector<char> VersionBlock(WORD major, WORD minor, WORD third, WORD fourth) {
  const wchar_t key[] = L"VS_VERSION_INFO";  // 16 characters with the zero
  const size_t header = 6 + sizeof key;       // 38 bytes, padded to 40
  const size_t valueOffset = (header + 3) & ~size_t(3);
  std::vector<char> block(valueOffset + sizeof(VS_FIXEDFILEINFO) + 64, 0);
  WORD length = static_cast<WORD>(valueOffset + sizeof(VS_FIXEDFILEINFO));
  WORD valueLength = sizeof(VS_FIXEDFILEINFO);
  WORD type = 0;
  std::memcpy(&block[0], &length, 2);
  std::memcpy(&block[2], &valueLength, 2);
  std::memcpy(&block[4], &type, 2);
  std::memcpy(&block[6], key, sizeof key);
  VS_FIXEDFILEINFO info = {};
  info.dwSignature = 0xFEEF04BD;
  info.dwStrucVersion = 0x00010000;
  info.dwFileVersionMS = MAKELONG(minor, major);
  info.dwFileVersionLS = MAKELONG(fourth, third);
  info.dwProductVersionMS = MAKELONG(99, 9);  // never used
  info.dwProductVersionLS = MAKELONG(0, 7);
  std::memcpy(&block[valueOffset], &info, sizeof info);
  return block;
}

TEST(VersionText, FromTheFileVersionOfTheResource) {
  struct Case {
    WORD major, minor, third, fourth;
    const char* text;
  } cases[] = {
      {1, 20, 0, 6, "1.20"},       {1, 20, 3, 6, "1.20 Beta 3"}, {1, 20, 99, 0, "1.20 Beta 99"},
      {1, 20, 100, 0, "1.20"},     {1, 5, 0, 0, "1.05"},         {10, 0, 0, 0, "10.00"},
      {1, 123, 0, 0, "1.123"},     {1, 20, 1, 0, "1.20 Beta 1"}, {1, 20, 0, 9, "1.20"},
      {65535, 65535, 65535, 0, "65535.65535"},
  };
  for (const Case& c : cases) {
    std::vector<char> block = VersionBlock(c.major, c.minor, c.third, c.fourth);
    EXPECT_EQ(c.text, VersionTextFromBlock(block.data()))
        << c.major << "." << c.minor << "." << c.third << "." << c.fourth;
  }
  // Builds that differ only in the fourth field are the same version.
  EXPECT_EQ(VersionTextFromBlock(VersionBlock(1, 20, 0, 6).data()),
            VersionTextFromBlock(VersionBlock(1, 20, 0, 7).data()));
}

TEST(VersionText, EmptyWithoutAFixedPart) {
  std::vector<char> block = VersionBlock(1, 20, 0, 6);
  WORD noValue = 0;
  std::memcpy(&block[2], &noValue, 2);
  EXPECT_EQ("", VersionTextFromBlock(block.data()));
  EXPECT_EQ("", VersionTextFromBlock(nullptr));
}

TEST(VersionText, OfThisProgramIs120) { EXPECT_EQ("1.20", GetVersionText()); }

TEST(AboutBox, ShowsTheVersionAndTheNameInBoldArialAtTheControlsHeight) {
  TestApp().Start("Velmora.exe");
  CAboutBoxDlg about;
  ASSERT_TRUE(about.Create());
  char text[64] = "";
  GetDlgItemTextA(about, IDC_ABOUT_VERSION, text, sizeof text);
  EXPECT_STREQ("Version 1.20", text);

  HWND product = GetDlgItem(about, IDC_ABOUT_PRODUCT);
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(product, WM_GETFONT, 0, 0));
  ASSERT_NE(nullptr, font);
  LOGFONTA logFont = {};
  ASSERT_NE(0, GetObjectA(font, sizeof logFont, &logFont));
  RECT rect;
  GetWindowRect(product, &rect);
  EXPECT_EQ(rect.bottom - rect.top, logFont.lfHeight);
  EXPECT_GT(logFont.lfHeight, 0);
  EXPECT_EQ(FW_BOLD, logFont.lfWeight);
  EXPECT_STREQ("Arial", logFont.lfFaceName);
  EXPECT_EQ(0x26, logFont.lfPitchAndFamily);
}

// Moved to a monitor of another scale, the dialog manager resizes the
// controls; the product name's font follows its control's new height.
TEST(AboutBox, TheNamesFontFollowsItsControlAfterAScaleChange) {
  TestApp().Start("Velmora.exe");
  CAboutBoxDlg about;
  ASSERT_TRUE(about.Create());
  HWND product = GetDlgItem(about, IDC_ABOUT_PRODUCT);
  RECT rect;
  GetWindowRect(product, &rect);
  const int height = rect.bottom - rect.top;
  // The controls at twice the scale, as the dialog manager leaves them.
  SetWindowPos(product, nullptr, 0, 0, 2 * (rect.right - rect.left), 2 * height, SWP_NOMOVE | SWP_NOZORDER);
  RECT suggested;
  GetWindowRect(about, &suggested);
  SendMessageA(about, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));

  HFONT font = reinterpret_cast<HFONT>(SendMessageA(product, WM_GETFONT, 0, 0));
  ASSERT_NE(nullptr, font);
  LOGFONTA logFont = {};
  ASSERT_NE(0, GetObjectA(font, sizeof logFont, &logFont));
  GetWindowRect(product, &rect);
  EXPECT_EQ(2 * height, rect.bottom - rect.top);
  EXPECT_EQ(2 * height, logFont.lfHeight);
  EXPECT_EQ(FW_BOLD, logFont.lfWeight);
  EXPECT_STREQ("Arial", logFont.lfFaceName);
}

TEST(AboutBox, OkAndEscapeCloseIt) {
  TestApp().Start("Velmora.exe");
  for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
    CAboutBoxDlg about;
    CActivationHook hook("About Orvane Zenvero", [key](HWND box) {
      HWND focus = GetFocus();
      PostMessageA(focus != nullptr ? focus : box, WM_KEYDOWN, key, 0);
    });
    EXPECT_EQ(key == VK_RETURN ? IDOK : IDCANCEL, about.DoModal());
  }
}

}  // namespace
