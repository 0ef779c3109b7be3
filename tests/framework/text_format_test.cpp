// The "%s" rule of the template texts that carry a name.
#include <gtest/gtest.h>

#include "framework/text_format.h"

namespace {

TEST(FormatWithText, PutsTheTextForEachPlaceholder) {
  struct Case {
    const char* pattern;
    const char* expected;
  } cases[] = {
      {"Setup will install the %s files.", "Setup will install the Orvane Zenvero files."},
      {"If you choose No, %s will close. You must accept it to use %s.",
       "If you choose No, Orvane Zenvero will close. You must accept it to use Orvane Zenvero."},
      {"100%% sure", "100% sure"},
      {"%d and %", "%d and %"},
      {"%%s", "%s"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, FormatWithText(c.pattern, "Orvane Zenvero")) << c.pattern;
  // The text is put in as it is, never read for placeholders.
  EXPECT_EQ("[%s]", FormatWithText("[%s]", "%s"));
}

}  // namespace
