#include "app/history.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app_base/settings.h"
#include "framework/ascii.h"

namespace {

std::string EntryName(const char* name, int number) { return name + std::to_string(number); }
std::string CountName(const char* name) { return std::string(name) + "Num"; }

// The box's list, top to bottom, without the text dropped and without repeats:
// a stored history never holds one name twice in different case.
std::vector<std::string> ListWithout(const CComboBox& box, const std::string& dropped) {
  std::vector<std::string> list;
  const int count = box.GetCount();
  for (int i = 0; i < count; ++i) {
    std::string item = box.GetLBText(i);
    if (EqualIgnoringAsciiCase(item, dropped)) continue;
    if (std::none_of(list.begin(), list.end(),
                     [&](const std::string& kept) { return EqualIgnoringAsciiCase(kept, item); }))
      list.push_back(std::move(item));
  }
  return list;
}

// Stores the first "MaxFiles" texts as entries 1, 2...; returns how many.
int WriteEntries(const char* name, const std::vector<std::string>& list, int maxFiles) {
  const int written = std::max(0, std::min(static_cast<int>(list.size()), maxFiles));
  for (int i = 0; i < written; ++i)
    WriteSettingString(kSettingsSection, EntryName(name, i + 1).c_str(), list[i].c_str());
  return written;
}

}  // namespace

void LoadHistory(const CComboBox& box, const char* name, bool setText) {
  box.ResetContent();
  const int count = GetSettingInt(kSettingsSection, CountName(name).c_str(), 0);
  if (count < 1) return;
  // A hand-edited count may be huge: numbers above the last stored entry are
  // missing anyway, so start there.
  const int last = FindLastNumberedSetting(kSettingsSection, name, count);
  std::string first;
  for (int k = last; k >= 1; --k) {
    std::string text = GetSettingString(kSettingsSection, EntryName(name, k).c_str(), "");
    if (text.empty()) continue;
    // Inserting at the top keeps the stored order even in a sorted box.
    box.InsertString(0, text.c_str());
    if (k == 1) first = std::move(text);
  }
  if (setText && !first.empty()) box.SetWindowText(first.c_str());
}

void AddToHistory(const CComboBox& box, const char* name) {
  const std::string text = box.GetWindowText();
  // An empty box has nothing to remember; it must not push a name out.
  if (text.empty()) return;
  std::vector<std::string> list = ListWithout(box, text);
  list.insert(list.begin(), text);
  const int maxFiles = GetSettingInt(kSettingsSection, kMaxFilesEntry, kMaxFilesDefault);
  const int written = WriteEntries(name, list, maxFiles);
  // Entries above the count stay in the store; they are not read while it is lower.
  WriteSettingInt(kSettingsSection, CountName(name).c_str(), written);
  LoadHistory(box, name, true);
  // With no entries kept ("MaxFiles" 0 or less) the reload emptied the edit
  // field: the name stays there all the same.
  if (written == 0) box.SetWindowText(text.c_str());
}

void RemoveFromHistory(const CComboBox& box, const char* name) {
  const std::string text = box.GetWindowText();
  const std::vector<std::string> list = ListWithout(box, text);
  const int maxFiles = GetSettingInt(kSettingsSection, kMaxFilesEntry, kMaxFilesDefault);
  const int written = WriteEntries(name, list, maxFiles);
  // Clear the numbers up to "MaxFiles" that are left over; only those that are
  // stored at all, so that a huge "MaxFiles" costs nothing.
  const int last = FindLastNumberedSetting(kSettingsSection, name, maxFiles);
  for (int k = written + 1; k <= last; ++k)
    WriteSettingString(kSettingsSection, EntryName(name, k).c_str(), nullptr);
  // After a removal the count is "MaxFiles" itself; the cleared numbers are skipped on reading.
  WriteSettingInt(kSettingsSection, CountName(name).c_str(), std::max(0, maxFiles));
  LoadHistory(box, name, false);
  box.SetWindowText(text.c_str());
}
