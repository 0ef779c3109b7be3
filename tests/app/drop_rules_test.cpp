// Where files and folders dropped on the main window go, case by case.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/drop_rules.h"
#include "resources/resource.h"

namespace {

DroppedItem File(const char* path) { return {path, false}; }
DroppedItem Folder(const char* path) { return {path, true}; }

TEST(DropRules, EachDropFillsOneBoxOrIsRefused) {
  const auto source = DropTarget::kSourceBox, destination = DropTarget::kDestinationBox,
             pattern = DropTarget::kPatternBox, elsewhere = DropTarget::kElsewhere;
  const struct {
    const char* what;
    DropTarget target;
    std::vector<DroppedItem> items;
    int box;  // 0: refused
    const char* text;
  } cases[] = {
      {"a file on the source box", source, {File("C:\\a\\x.txt")}, IDC_MAIN_SOURCE, "C:\\a\\x.txt"},
      {"a file on the destination box", destination, {File("C:\\a\\x.txt")}, IDC_MAIN_DESTINATION, "C:\\a\\x.txt"},
      {"a file on the pattern box", pattern, {File("C:\\a\\x.txt")}, IDC_MAIN_PATTERN, "C:\\a\\x.txt"},
      {"a file elsewhere", elsewhere, {File("C:\\a\\x.txt")}, IDC_MAIN_SOURCE, "C:\\a\\x.txt"},
      {"a folder on the pattern box", pattern, {Folder("C:\\a\\b")}, IDC_MAIN_PATTERN, "C:\\a\\b\\*.*"},
      {"a folder elsewhere", elsewhere, {Folder("C:\\a\\b")}, IDC_MAIN_PATTERN, "C:\\a\\b\\*.*"},
      {"a folder on the source box", source, {Folder("C:\\a\\b")}, IDC_MAIN_PATTERN, "C:\\a\\b\\*.*"},
      {"a drive's root", destination, {Folder("D:\\")}, IDC_MAIN_PATTERN, "D:\\*.*"},
      {"files of one type", elsewhere, {File("C:\\a\\x.txt"), File("C:\\a\\y.TXT"), File("c:\\A\\z.Txt")},
       IDC_MAIN_PATTERN, "C:\\a\\*.txt"},
      {"files of one type on the source box", source, {File("C:\\a\\x.c"), File("C:\\a\\y.c")}, IDC_MAIN_PATTERN,
       "C:\\a\\*.c"},
      {"the last dot counts", pattern, {File("C:\\a\\x.tar.gz"), File("C:\\a\\y.gz")}, IDC_MAIN_PATTERN,
       "C:\\a\\*.gz"},
      {"files of two types", pattern, {File("C:\\a\\x.txt"), File("C:\\a\\y.c")}, 0, ""},
      {"files of two folders", pattern, {File("C:\\a\\x.txt"), File("C:\\b\\y.txt")}, 0, ""},
      {"files without an extension", pattern, {File("C:\\a\\README"), File("C:\\a\\LICENSE")}, 0, ""},
      {"a dot in the folder only", pattern, {File("C:\\a.d\\README"), File("C:\\a.d\\NOTES")}, 0, ""},
      {"names that are only an extension", pattern, {File("C:\\a\\.profile"), File("C:\\a\\.profile")}, 0, ""},
      {"a folder and a file", pattern, {Folder("C:\\a\\b.txt"), File("C:\\a\\y.txt")}, 0, ""},
      {"two folders", elsewhere, {Folder("C:\\a"), Folder("C:\\b")}, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const DropDecision decision = DecideDrop(c.target, c.items);
    EXPECT_EQ(c.box, decision.m_nBox);
    EXPECT_EQ(c.text, decision.m_strText);
    EXPECT_EQ(c.box == 0 ? std::string(kMixedDropText) : std::string(), decision.m_strRefusal);
  }
  // A drop of nothing says nothing.
  const DropDecision none = DecideDrop(pattern, {});
  EXPECT_EQ(0, none.m_nBox);
  EXPECT_EQ("", none.m_strRefusal);
}

}  // namespace
