#pragma once
// Where files and folders dropped on the main window go: the rules alone,
// without a window, so that they can be checked case by case.
#include <string>
#include <vector>

// The part of the main window a drop landed on.
enum class DropTarget { kSourceBox, kDestinationBox, kPatternBox, kElsewhere };

struct DroppedItem {
  std::string m_strPath;  // the full path the drop named
  bool m_bFolder = false;
};

// What a drop does: fills box m_nBox (a control id of the main window) with
// m_strText, or, with m_nBox 0, is refused with m_strRefusal (empty: nothing
// to say, as for a drop of nothing).
struct DropDecision {
  int m_nBox = 0;
  std::string m_strText;
  std::string m_strRefusal;
};

// One file fills the source or destination box it was dropped on, the
// pattern box with its name when dropped there, and the source box when
// dropped anywhere else. One folder fills the pattern box with the folder
// and "*.*". Several files fill the pattern box with their folder and their
// common extension ("C:\Notes\*.txt"); several items without one folder and
// one extension (folders among them, or a file without an extension) are
// refused.
DropDecision DecideDrop(DropTarget target, const std::vector<DroppedItem>& items);

constexpr const char kMixedDropText[] =
    "These files cannot be converted together: they are not all files of one type in one folder.  Drop one "
    "file, one folder, or files with the same extension from one folder.";
