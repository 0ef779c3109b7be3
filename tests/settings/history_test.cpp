#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/history.h"
#include "app_base/settings.h"
#include "tests/settings/registry_probe.h"

namespace {

using Names = std::vector<std::string>;
const char kMissing[] = "<missing>";

// A real drop-down combo box in a real window, of the sorted kind (like the
// pattern box) or the unsorted kind (like the source and destination boxes).
class HistoryTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(DeleteTree(HKEY_CURRENT_USER, "Software\\Orvane"));
    SetProfileLocation("Orvane", "Zenvero");
    m_hParent = CreateWindowExA(0, "STATIC", "history", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, m_hParent);
    m_box.Attach(NewBox());
    ASSERT_NE(nullptr, m_box.m_hWnd);
  }
  void TearDown() override {
    DestroyWindow(m_hParent);
    DeleteTree(HKEY_CURRENT_USER, "Software\\Orvane");
  }

  HWND NewBox() {
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL |
                        (GetParam() ? CBS_SORT : 0);
    return CreateWindowExA(0, "COMBOBOX", "", style, 10, 10, 300, 200, m_hParent,
                           reinterpret_cast<HMENU>(1005), GetModuleHandleA(nullptr), nullptr);
  }

  static Names List(const CComboBox& box) {
    Names names;
    for (int i = 0; i < box.GetCount(); ++i) names.push_back(box.GetLBText(i));
    return names;
  }

  // Stores entries 1, 2... (kMissing leaves a number out) and the count.
  static void Store(const char* name, const Names& entries, DWORD count) {
    for (size_t i = 0; i < entries.size(); ++i)
      if (entries[i] != kMissing)
        SetRawString(HKEY_CURRENT_USER, kSettingsPath, (name + std::to_string(i + 1)).c_str(),
                     entries[i]);
    SetRawDword(HKEY_CURRENT_USER, kSettingsPath, (std::string(name) + "Num").c_str(), count);
  }

  // Entries 1..last as another program sees them (kMissing for none); each
  // must be a REG_SZ with its zero.
  static Names Stored(const char* name, int last) {
    Names names;
    for (int k = 1; k <= last; ++k) {
      const RawValue raw = QueryRaw(HKEY_CURRENT_USER, kSettingsPath, (name + std::to_string(k)).c_str());
      if (!raw.exists) {
        names.push_back(kMissing);
        continue;
      }
      EXPECT_EQ(static_cast<DWORD>(REG_SZ), raw.type);
      std::string text = raw.Text();
      EXPECT_FALSE(text.empty() || text.back() != '\0') << name << k;
      if (!text.empty()) text.pop_back();
      names.push_back(text);
    }
    return names;
  }

  static int StoredCount(const char* name) {
    const RawValue raw = QueryRaw(HKEY_CURRENT_USER, kSettingsPath, (std::string(name) + "Num").c_str());
    EXPECT_TRUE(raw.exists);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), raw.type);
    return static_cast<int>(raw.Dword());
  }

  static void SetMaxFiles(int maxFiles) {
    SetRawDword(HKEY_CURRENT_USER, kSettingsPath, kMaxFilesEntry, static_cast<DWORD>(maxFiles));
  }

  HWND m_hParent = nullptr;
  CComboBox m_box;
};

TEST_P(HistoryTest, EmptyStoreGivesEmptyBoxes) {
  for (const char* name : {kSourceHistory, kDestinationHistory, kMultipleFilesHistory}) {
    LoadHistory(m_box, name, true);
    EXPECT_EQ(0, m_box.GetCount());
    EXPECT_EQ("", m_box.GetWindowText());
  }
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kSettingsPath));
  EXPECT_EQ(0u, ValueCount(HKEY_CURRENT_USER, kSettingsPath));
}

TEST_P(HistoryTest, LoadKeepsTheStoredOrderEvenInASortedBox) {
  Store(kMultipleFilesHistory, {"zeta\\*.c", "alpha\\*.h", "Mid\\*.txt"}, 3);
  LoadHistory(m_box, kMultipleFilesHistory, true);
  EXPECT_EQ((Names{"zeta\\*.c", "alpha\\*.h", "Mid\\*.txt"}), List(m_box));
  EXPECT_EQ("zeta\\*.c", m_box.GetWindowText());
}

struct HandEdited {
  DWORD count;
  Names entries;
  Names list;
  std::string text;
};

TEST_P(HistoryTest, HandEditedStoreSkipsMissingAndEmptyEntries) {
  const HandEdited cases[] = {
      {7, {"a.txt", "", kMissing, "c.txt"}, {"a.txt", "c.txt"}, "a.txt"},
      // A count far beyond the entries must not make the box probe each number.
      {2000000000, {"a.txt", kMissing, "c.txt"}, {"a.txt", "c.txt"}, "a.txt"},
      {3, {kMissing, "b.txt", "c.txt", "d.txt"}, {"b.txt", "c.txt"}, ""},
      {0, {"a.txt"}, {}, ""},
      {static_cast<DWORD>(-3), {"a.txt"}, {}, ""},
  };
  for (const HandEdited& c : cases) {
    SCOPED_TRACE(c.count);
    ASSERT_TRUE(DeleteTree(HKEY_CURRENT_USER, "Software\\Orvane"));
    Store(kSourceHistory, c.entries, c.count);
    m_box.SetWindowText("");
    LoadHistory(m_box, kSourceHistory, true);
    EXPECT_EQ(c.list, List(m_box));
    EXPECT_EQ(c.text, m_box.GetWindowText());
  }
}

TEST_P(HistoryTest, AddPutsTheNameOnTopOnceWhateverItsCase) {
  for (const char* text : {"a.txt", "b.txt"}) {
    m_box.SetWindowText(text);
    AddToHistory(m_box, kSourceHistory);
  }
  EXPECT_EQ((Names{"b.txt", "a.txt"}), List(m_box));
  EXPECT_EQ((Names{"b.txt", "a.txt"}), Stored(kSourceHistory, 2));
  EXPECT_EQ(2, StoredCount(kSourceHistory));

  // The next start shows the most recent name.
  CComboBox next(NewBox());
  LoadHistory(next, kSourceHistory, true);
  EXPECT_EQ("b.txt", next.GetWindowText());

  m_box.SetWindowText("A.TXT");
  AddToHistory(m_box, kSourceHistory);
  EXPECT_EQ((Names{"A.TXT", "b.txt"}), List(m_box));
  EXPECT_EQ("A.TXT", m_box.GetWindowText());
  EXPECT_EQ((Names{"A.TXT", "b.txt"}), Stored(kSourceHistory, 2));
  EXPECT_EQ(2, StoredCount(kSourceHistory));

  // Only A-Z fold: accented capitals are other names.
  m_box.SetWindowText("\xe9t\xe9.txt");
  AddToHistory(m_box, kSourceHistory);
  m_box.SetWindowText("\xc9T\xc9.TXT");
  AddToHistory(m_box, kSourceHistory);
  EXPECT_EQ((Names{"\xc9T\xc9.TXT", "\xe9t\xe9.txt", "A.TXT", "b.txt"}), List(m_box));
  EXPECT_FALSE(QueryRaw(HKEY_CURRENT_USER, kSettingsPath, kMaxFilesEntry).exists);
}

TEST_P(HistoryTest, EleventhNamePushesTheTenthOut) {
  Names ten;
  for (int i = 1; i <= 10; ++i) ten.push_back("file" + std::to_string(i) + ".txt");
  Store(kDestinationHistory, ten, 10);
  LoadHistory(m_box, kDestinationHistory, true);
  m_box.SetWindowText("new.txt");
  AddToHistory(m_box, kDestinationHistory);

  Names expected = ten;
  expected.pop_back();
  expected.insert(expected.begin(), "new.txt");
  EXPECT_EQ(expected, List(m_box));
  expected.push_back(kMissing);
  EXPECT_EQ(expected, Stored(kDestinationHistory, 11));
  EXPECT_EQ(10, StoredCount(kDestinationHistory));
  EXPECT_FALSE(QueryRaw(HKEY_CURRENT_USER, kSettingsPath, kMaxFilesEntry).exists);
}

struct MaxFilesCase {
  int maxFiles;
  Names list;  // after adding "new.txt" to five stored names
  Names stored;
  int count;
};

TEST_P(HistoryTest, HandSetMaxFilesLimitsTheNextAddition) {
  const Names five = {"1.txt", "2.txt", "3.txt", "4.txt", "5.txt"};
  const MaxFilesCase cases[] = {
      {3, {"new.txt", "1.txt", "2.txt"}, {"new.txt", "1.txt", "2.txt", "4.txt", "5.txt"}, 3},
      {0, {}, five, 0},
      {-2, {}, five, 0},
  };
  for (const MaxFilesCase& c : cases) {
    SCOPED_TRACE(c.maxFiles);
    ASSERT_TRUE(DeleteTree(HKEY_CURRENT_USER, "Software\\Orvane"));
    SetMaxFiles(c.maxFiles);
    Store(kSourceHistory, five, 5);
    // A history written before the limit was set still shows whole.
    LoadHistory(m_box, kSourceHistory, true);
    EXPECT_EQ(five, List(m_box));

    m_box.SetWindowText("new.txt");
    AddToHistory(m_box, kSourceHistory);
    EXPECT_EQ(c.list, List(m_box));
    EXPECT_EQ(c.stored, Stored(kSourceHistory, 5));
    EXPECT_EQ(c.count, StoredCount(kSourceHistory));
    // The limit is the user's: read, never written.
    EXPECT_EQ(static_cast<DWORD>(c.maxFiles),
              QueryRaw(HKEY_CURRENT_USER, kSettingsPath, kMaxFilesEntry).Dword());
  }
}

struct RemovalCase {
  int maxFiles;  // 0x7fffffff stands for a huge hand-set value
  bool setMaxFiles;
  Names before;
  Names stored;  // entries 1..before.size()+1 afterwards
  int count;
  Names list;
};

TEST_P(HistoryTest, RemovalStoresMaxFilesAsCountAndKeepsTheText) {
  const RemovalCase cases[] = {
      {10, false, {"a.txt", "c.txt", "d.txt", "e.txt"},
       {"a.txt", "d.txt", "e.txt", kMissing, kMissing}, 10, {"a.txt", "d.txt", "e.txt"}},
      {3, true, {"a.txt", "c.txt", "d.txt"}, {"a.txt", "d.txt", kMissing, kMissing}, 3,
       {"a.txt", "d.txt"}},
      // Written before a lower limit was set: only the first three are rewritten.
      {3, true, {"a.txt", "c.txt", "d.txt", "e.txt", "f.txt"},
       {"a.txt", "d.txt", "e.txt", "e.txt", "f.txt", kMissing}, 3, {"a.txt", "d.txt", "e.txt"}},
      {0x7fffffff, true, {"a.txt", "c.txt", "d.txt"}, {"a.txt", "d.txt", kMissing, kMissing},
       0x7fffffff, {"a.txt", "d.txt"}},
      {0, true, {"a.txt", "c.txt"}, {"a.txt", "c.txt", kMissing}, 0, {}},
      {-1, true, {"a.txt", "c.txt"}, {"a.txt", "c.txt", kMissing}, 0, {}},
  };
  for (const RemovalCase& c : cases) {
    SCOPED_TRACE(c.maxFiles);
    ASSERT_TRUE(DeleteTree(HKEY_CURRENT_USER, "Software\\Orvane"));
    if (c.setMaxFiles) SetMaxFiles(c.maxFiles);
    Store(kSourceHistory, c.before, static_cast<DWORD>(c.before.size()));
    LoadHistory(m_box, kSourceHistory, true);
    // The failed name, typed in another case.
    m_box.SetWindowText("C.TXT");
    RemoveFromHistory(m_box, kSourceHistory);

    EXPECT_EQ(c.list, List(m_box));
    EXPECT_EQ("C.TXT", m_box.GetWindowText());
    EXPECT_EQ(c.stored, Stored(kSourceHistory, static_cast<int>(c.before.size()) + 1));
    EXPECT_EQ(c.count, StoredCount(kSourceHistory));
    EXPECT_EQ(c.setMaxFiles, QueryRaw(HKEY_CURRENT_USER, kSettingsPath, kMaxFilesEntry).exists);

    // The next start reads the same list back.
    CComboBox next(NewBox());
    LoadHistory(next, kSourceHistory, true);
    EXPECT_EQ(c.list, List(next));
    DestroyWindow(next);
  }
}

INSTANTIATE_TEST_SUITE_P(Boxes, HistoryTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Sorted" : "Unsorted";
                         });

}  // namespace
