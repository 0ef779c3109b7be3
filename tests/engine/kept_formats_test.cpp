// Which files keep their tabs in a multiple-file run: makefiles and
// tab-separated data, by name, compared as Windows compares these names.
#include <gtest/gtest.h>

#include <string>

#include "engine/kept_formats.h"

namespace {

TEST(TabsArePartOfFormat, MakefilesAndTabSeparatedDataByName) {
  const struct {
    const char* name;
    bool kept;
  } cases[] = {
      {"Makefile", true},
      {"makefile", true},
      {"MAKEFILE", true},
      {"GNUmakefile", true},
      {"gnumakefile", true},
      {"rules.mk", true},
      {"RULES.MK", true},
      {"build.mak", true},
      {"Build.Mak", true},
      {"table.tsv", true},
      {"TABLE.TSV", true},
      {"C:\\project\\src\\Makefile", true},
      {"sub/dir/common.mk", true},
      {"C:Makefile", true},
      // Other names, and names that only contain or resemble one.
      {"Makefile.am", false},
      {"Makefile.in", false},
      {"makefile.txt", false},
      {"mymakefile", false},
      {"GNUmakefile2", false},
      {"rules.mkd", false},
      {"notes.mk.txt", false},
      {"table.tsv.bak", false},
      {"table.csv", false},
      {"tsv", false},
      {".mk", false},
      {"C:\\Makefile\\notes.txt", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.kept, TabsArePartOfFormat(c.name)) << c.name;
}

}  // namespace
