#include "app/drop_rules.h"

#include "framework/ascii.h"
#include "framework/path.h"
#include "resources/resource.h"

namespace {

// The extension of a path's last part, with its dot (".txt"); empty when it
// has none.
std::string ExtensionOf(const std::string& path) {
  const size_t separator = path.find_last_of("\\/:");
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) return {};
  if (dot + 1 == path.size() || dot == (separator == std::string::npos ? 0 : separator + 1)) return {};
  return path.substr(dot);
}

}  // namespace

DropDecision DecideDrop(DropTarget target, const std::vector<DroppedItem>& items) {
  DropDecision decision;
  if (items.empty()) return decision;
  if (items.size() == 1) {
    const DroppedItem& item = items.front();
    if (item.m_bFolder) {
      decision.m_nBox = IDC_MAIN_PATTERN;
      decision.m_strText = WithSeparator(item.m_strPath) + "*.*";
    } else {
      decision.m_nBox = target == DropTarget::kDestinationBox ? IDC_MAIN_DESTINATION
                        : target == DropTarget::kPatternBox   ? IDC_MAIN_PATTERN
                                                              : IDC_MAIN_SOURCE;
      decision.m_strText = item.m_strPath;
    }
    return decision;
  }
  const std::string folder = FolderOfPath(items.front().m_strPath);
  const std::string extension = ExtensionOf(items.front().m_strPath);
  for (const DroppedItem& item : items) {
    if (item.m_bFolder || extension.empty() || !EqualIgnoringAsciiCase(FolderOfPath(item.m_strPath), folder) ||
        !EqualIgnoringAsciiCase(ExtensionOf(item.m_strPath), extension)) {
      decision.m_strRefusal = kMixedDropText;
      return decision;
    }
  }
  decision.m_nBox = IDC_MAIN_PATTERN;
  decision.m_strText = folder + "*" + extension;
  return decision;
}
