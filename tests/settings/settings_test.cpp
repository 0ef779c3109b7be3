#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "app_base/settings.h"
#include "framework/handle.h"
#include "framework/reg_key.h"
#include "framework/win_app.h"
#include "tests/settings/registry_probe.h"

namespace {

// Every test starts without HKCU\Software\Orvane (and its machine-wide twin).
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(DeleteTree(HKEY_CURRENT_USER, "Software\\Orvane"));
    ASSERT_TRUE(DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane"));
    SetProfileLocation("Orvane", "Zenvero");
  }
  void TearDown() override {
    DeleteTree(HKEY_CURRENT_USER, "Software\\Orvane");
    DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane");
  }
};

// The handle value the process would get next. Freed handle slots are reused
// lowest first, so a handle left open anywhere shows up as a different value.
HANDLE NextHandle() {
  CHandle probe(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  const HANDLE value = probe;
  probe.Close();
  return value;
}

TEST_F(SettingsTest, FirstReadOnEmptyRegistryGivesDefaultsAndLeavesThePath) {
  EXPECT_EQ("8", GetSettingString(kSettingsSection, kTabsEntry, kTabsDefault));
  EXPECT_EQ(10, GetSettingInt(kSettingsSection, kMaxFilesEntry, kMaxFilesDefault));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kSettingsPath));
  // Reading creates the keys but no values.
  EXPECT_EQ(0u, ValueCount(HKEY_CURRENT_USER, kSettingsPath));
  EXPECT_EQ(0u, ValueCount(HKEY_CURRENT_USER, kProfilePath));

  EXPECT_EQ("", GetSettingString(kSelfInstallSection, kVersionEntry, ""));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Orvane\\Zenvero\\SelfInstall"));
}

TEST_F(SettingsTest, StringsAreStoredAsRegSzWithTheirZeroCounted) {
  const std::string texts[] = {"", "12", "C:\\My Files\\a b.txt", "\xe9t\xe9 \xc0", std::string(5000, 'x')};
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.substr(0, 40));
    ASSERT_TRUE(WriteSettingString(kSettingsSection, "Source1", text.c_str()));
    const RawValue raw = QueryRaw(HKEY_CURRENT_USER, kSettingsPath, "Source1");
    ASSERT_TRUE(raw.exists);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), raw.type);
    EXPECT_EQ(text + '\0', raw.Text());
    // No length limit on reading.
    EXPECT_EQ(text, GetSettingString(kSettingsSection, "Source1", "default"));
  }
}

TEST_F(SettingsTest, IntegersAreStoredAsDwordAndReadBackSigned) {
  const int values[] = {0, 7, -1, -42, INT_MIN, INT_MAX};
  for (int value : values) {
    SCOPED_TRACE(value);
    ASSERT_TRUE(WriteSettingInt(kSettingsSection, "SourceNum", value));
    const RawValue raw = QueryRaw(HKEY_CURRENT_USER, kSettingsPath, "SourceNum");
    ASSERT_TRUE(raw.exists);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), raw.type);
    ASSERT_EQ(4u, raw.data.size());
    EXPECT_EQ(static_cast<DWORD>(value), raw.Dword());
    EXPECT_EQ(value, GetSettingInt(kSettingsSection, "SourceNum", 99));
  }
}

TEST_F(SettingsTest, WritingNoTextDeletesTheEntry) {
  ASSERT_TRUE(WriteSettingString(kSettingsSection, "Source2", "a.txt"));
  ASSERT_TRUE(WriteSettingString(kSettingsSection, "Source3", "b.txt"));
  EXPECT_TRUE(WriteSettingString(kSettingsSection, "Source2", nullptr));
  EXPECT_FALSE(QueryRaw(HKEY_CURRENT_USER, kSettingsPath, "Source2").exists);
  EXPECT_EQ("gone", GetSettingString(kSettingsSection, "Source2", "gone"));
  // Its neighbour stays; deleting what is not there reports it.
  EXPECT_EQ(std::string("b.txt", 6), QueryRaw(HKEY_CURRENT_USER, kSettingsPath, "Source3").Text());
  EXPECT_FALSE(WriteSettingString(kSettingsSection, "Source2", nullptr));
}

// A value a user or another program left with an unexpected type or size
// reads as the default, never as reinterpreted bytes.
TEST_F(SettingsTest, ReadsCheckTheStoredTypeAndSize) {
  const DWORD number = 3;
  const unsigned char eight[8] = {5, 0, 0, 0, 0, 0, 0, 0};
  SetRaw(HKEY_CURRENT_USER, kSettingsPath, "DwordText", REG_DWORD, &number, sizeof(number));
  SetRawString(HKEY_CURRENT_USER, kSettingsPath, "TextNumber", "3");
  SetRaw(HKEY_CURRENT_USER, kSettingsPath, "LongNumber", REG_BINARY, eight, sizeof(eight));
  SetRaw(HKEY_CURRENT_USER, kSettingsPath, "ShortNumber", REG_DWORD, eight, 2);
  SetRawString(HKEY_CURRENT_USER, kSettingsPath, "Expand", "%TEMP%", REG_EXPAND_SZ);
  SetRaw(HKEY_CURRENT_USER, kSettingsPath, "NoZero", REG_SZ, "abc", 3);
  SetRaw(HKEY_CURRENT_USER, kSettingsPath, "InnerZero", REG_SZ, "ab\0cd", 6);

  EXPECT_EQ("d", GetSettingString(kSettingsSection, "DwordText", "d"));
  EXPECT_EQ("d", GetSettingString(kSettingsSection, "Expand", "d"));
  EXPECT_EQ(-5, GetSettingInt(kSettingsSection, "TextNumber", -5));
  EXPECT_EQ(-5, GetSettingInt(kSettingsSection, "LongNumber", -5));
  EXPECT_EQ(-5, GetSettingInt(kSettingsSection, "ShortNumber", -5));
  EXPECT_EQ("abc", GetSettingString(kSettingsSection, "NoZero", "d"));
  EXPECT_EQ("ab", GetSettingString(kSettingsSection, "InnerZero", "d"));
}

TEST_F(SettingsTest, WithoutALocationNothingIsWritten) {
  SetProfileLocation("", "Zenvero");
  EXPECT_FALSE(WriteSettingString(kSettingsSection, "Stray", "x"));
  EXPECT_FALSE(WriteSettingInt(kSettingsSection, "Stray", 1));
  EXPECT_EQ("d", GetSettingString(kSettingsSection, "Stray", "d"));
  EXPECT_FALSE(QueryRaw(HKEY_CURRENT_USER, "Software\\Zenvero\\Settings", "Stray").exists);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Zenvero"));
  SetProfileLocation("Orvane", "");
  EXPECT_FALSE(WriteSettingString(kSettingsSection, "Stray", "x"));
  EXPECT_FALSE(QueryRaw(HKEY_CURRENT_USER, "Software\\Orvane\\Settings", "Stray").exists);
  EXPECT_FALSE(WriteSettingString("", "Stray", "x"));
  EXPECT_FALSE(QueryRaw(HKEY_CURRENT_USER, kProfilePath, "Stray").exists);
}

// Start-up sets the key, which names the profile after the title, then the
// profile name; the application object's location wins over the fallback.
TEST_F(SettingsTest, TheApplicationObjectGivesTheLocation) {
  SetProfileLocation("Orvane", "Fallback");
  {
    CWinApp app("Orvane Zenvero");
    EXPECT_TRUE(WriteSettingInt(kSettingsSection, "Early", 1));  // no key set yet
    app.SetRegistryKey("Orvane");
    EXPECT_TRUE(WriteSettingInt(kSettingsSection, "Titled", 2));
    app.SetProfileName("Zenvero");
    EXPECT_TRUE(WriteSettingInt(kSettingsSection, "Named", 3));
  }
  EXPECT_TRUE(QueryRaw(HKEY_CURRENT_USER, "Software\\Orvane\\Fallback\\Settings", "Early").exists);
  EXPECT_TRUE(
      QueryRaw(HKEY_CURRENT_USER, "Software\\Orvane\\Orvane Zenvero\\Settings", "Titled").exists);
  EXPECT_EQ(3u, QueryRaw(HKEY_CURRENT_USER, kSettingsPath, "Named").Dword());
}

TEST_F(SettingsTest, NoKeyOutlivesAnOperation) {
  char buffer[16];
  // Warm up whatever the first calls allocate once.
  GetSettingString(kSettingsSection, kTabsEntry, "8");
  const HANDLE before = NextHandle();
  ASSERT_NE(nullptr, before);
  for (int i = 0; i < 20; ++i) {
    WriteSettingString(kSettingsSection, kTabsEntry, "4");
    WriteSettingString(kSettingsSection, kTabsEntry, nullptr);
    WriteSettingInt(kSettingsSection, "SourceNum", i);
    GetSettingString(kSettingsSection, kTabsEntry, "8");
    GetSettingInt(kSettingsSection, "SourceNum", 0);
    FindLastNumberedSetting(kSettingsSection, "Source", 10);
    EnsureRegistryKey(HKEY_CURRENT_USER, "Software\\Orvane\\Keys");
    WriteRegistryString(HKEY_CURRENT_USER, "Software\\Orvane\\Keys", "V", "x");
    ReadRegistryString(HKEY_CURRENT_USER, "Software\\Orvane\\Keys", "V", buffer, 1);  // too small
    GetRegistryString(HKEY_CURRENT_USER, "Software\\Orvane\\Keys", "V", "");
    DeleteRegistryValue(HKEY_CURRENT_USER, "Software\\Orvane\\Keys", "V");
    DeleteRegistryValue(HKEY_CURRENT_USER, "Software\\Orvane\\Keys", "V");  // missing
  }
  EXPECT_EQ(before, NextHandle());
}

// The probe above must notice a key left open.
TEST_F(SettingsTest, HandleProbeSeesAKeyLeftOpen) {
  const HANDLE before = NextHandle();
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key));
  EXPECT_NE(before, NextHandle());
  RegCloseKey(key);
  EXPECT_EQ(before, NextHandle());
}

TEST_F(SettingsTest, NumberedEntriesAreFoundUpToTheLimit) {
  SetRawString(HKEY_CURRENT_USER, kSettingsPath, "Source2", "a");
  SetRawString(HKEY_CURRENT_USER, kSettingsPath, "source7", "b");  // names ignore case
  SetRawString(HKEY_CURRENT_USER, kSettingsPath, "Source012", "leading zero");
  SetRawString(HKEY_CURRENT_USER, kSettingsPath, "Source9x", "not a number");
  SetRawString(HKEY_CURRENT_USER, kSettingsPath, "SourceNum", "count");
  SetRawString(HKEY_CURRENT_USER, kSettingsPath, "Destination40", "other history");
  SetRawString(HKEY_CURRENT_USER, kSettingsPath, "Source99999999999", "too big");
  EXPECT_EQ(7, FindLastNumberedSetting(kSettingsSection, "Source", INT_MAX));
  EXPECT_EQ(7, FindLastNumberedSetting(kSettingsSection, "Source", 7));
  EXPECT_EQ(2, FindLastNumberedSetting(kSettingsSection, "Source", 6));
  EXPECT_EQ(0, FindLastNumberedSetting(kSettingsSection, "Source", 1));
  EXPECT_EQ(0, FindLastNumberedSetting(kSettingsSection, "Source", 0));
  EXPECT_EQ(40, FindLastNumberedSetting(kSettingsSection, "Destination", 100));
  EXPECT_EQ(0, FindLastNumberedSetting(kSettingsSection, "MultipleFiles", 100));
}

TEST(NumberedNames, AnEnumerationThatFailsEndsTheSearchAtOnce) {
  // A key deleted meanwhile fails for every index; other errors end it too.
  for (LONG error : {LONG(ERROR_KEY_DELETED), LONG(ERROR_ACCESS_DENIED), LONG(ERROR_MORE_DATA)}) {
    DWORD calls = 0;
    const int last = LastNumberedName(
        [&](DWORD index, std::string& name) -> LONG {
          ++calls;
          if (index == 0) {
            name = "Source3";
            return ERROR_SUCCESS;
          }
          return calls > 1000 ? ERROR_NO_MORE_ITEMS : error;  // a bound for the test itself
        },
        "Source", 10);
    EXPECT_EQ(3, last) << error;
    EXPECT_EQ(2u, calls) << error;
  }
}

// The registry value functions, on both roots the installer uses.
class RegistryValueTest : public SettingsTest, public ::testing::WithParamInterface<HKEY> {};

TEST_P(RegistryValueTest, WriteNeedsAnExistingKeyAndEnsureMakesIt) {
  const HKEY root = GetParam();
  const char* path = "Software\\Orvane\\Zenvero\\SelfInstall";
  EXPECT_FALSE(WriteRegistryString(root, path, "Version", "1.20"));
  EXPECT_FALSE(KeyExists(root, "Software\\Orvane"));

  EXPECT_TRUE(EnsureRegistryKey(root, path));
  EXPECT_TRUE(KeyExists(root, path));
  EXPECT_TRUE(EnsureRegistryKey(root, path));  // already there
  EXPECT_TRUE(WriteRegistryString(root, path, "Version", "1.20"));
  const RawValue raw = QueryRaw(root, path, "Version");
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), raw.type);
  EXPECT_EQ(std::string("1.20", 5), raw.Text());
  EXPECT_EQ("1.20", GetRegistryString(root, path, "Version", "none"));
}

TEST_P(RegistryValueTest, GetGivesTheDefaultForAnythingButAShortRegSz) {
  const HKEY root = GetParam();
  const char* path = "Software\\Orvane\\Values";
  const DWORD number = 120;
  SetRawString(root, path, "Fits", std::string(511, 'f'));  // 512 bytes with its zero
  SetRawString(root, path, "TooLong", std::string(512, 'l'));
  SetRawString(root, path, "Expand", "C:\\x", REG_EXPAND_SZ);
  SetRaw(root, path, "Dword", REG_DWORD, &number, sizeof(number));
  SetRaw(root, path, "Multi", REG_MULTI_SZ, "a\0b\0", 5);

  EXPECT_EQ(std::string(511, 'f'), GetRegistryString(root, path, "Fits", "default"));
  for (const char* name : {"TooLong", "Expand", "Dword", "Multi", "Missing"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ("default", GetRegistryString(root, path, name, "default"));
  }
  EXPECT_EQ("default", GetRegistryString(root, "Software\\Orvane\\Missing", "Fits", "default"));
  EXPECT_FALSE(KeyExists(root, "Software\\Orvane\\Missing"));
}

TEST_P(RegistryValueTest, ReadFailsWithoutTouchingTheBuffer) {
  const HKEY root = GetParam();
  const char* path = "Software\\Orvane\\Values";
  SetRaw(root, path, "Expand", REG_EXPAND_SZ, "abc", 4);
  SetRawString(root, path, "Text", "abcdefgh");
  SetRaw(root, path, "NoZero", REG_SZ, "abcd", 4);

  char buffer[8];
  std::memset(buffer, '#', sizeof(buffer));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ReadRegistryString(root, path, "Expand", buffer, sizeof(buffer)));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), GetLastError());
  EXPECT_FALSE(ReadRegistryString(root, path, "Text", buffer, sizeof(buffer)));  // 9 bytes
  EXPECT_FALSE(ReadRegistryString(root, path, "NoZero", buffer, 4));  // no room for its zero
  EXPECT_EQ(std::string(8, '#'), std::string(buffer, sizeof(buffer)));

  ASSERT_TRUE(ReadRegistryString(root, path, "NoZero", buffer, sizeof(buffer)));
  EXPECT_STREQ("abcd", buffer);
}

TEST_P(RegistryValueTest, DeleteReportsWhetherTheValueWasThere) {
  const HKEY root = GetParam();
  const char* path = "Software\\Orvane\\Values";
  SetRawString(root, path, "Keep", "k");
  SetRawString(root, path, "Drop", "d");

  EXPECT_FALSE(DeleteRegistryValue(root, path, "Missing"));
  EXPECT_EQ(2u, ValueCount(root, path));
  EXPECT_TRUE(DeleteRegistryValue(root, path, "Drop"));
  EXPECT_FALSE(QueryRaw(root, path, "Drop").exists);
  EXPECT_TRUE(QueryRaw(root, path, "Keep").exists);
  EXPECT_FALSE(DeleteRegistryValue(root, path, "Drop"));

  EXPECT_FALSE(DeleteRegistryValue(root, "Software\\Orvane\\Missing", "Keep"));
  EXPECT_FALSE(KeyExists(root, "Software\\Orvane\\Missing"));
}

INSTANTIATE_TEST_SUITE_P(Roots, RegistryValueTest,
                         ::testing::Values(HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE),
                         [](const ::testing::TestParamInfo<HKEY>& info) {
                           return info.param == HKEY_CURRENT_USER ? "CurrentUser"
                                                                  : "LocalMachine";
                         });

}  // namespace

namespace {

// A moved-from key and a closed key close nothing more; root keys are never closed.
TEST(RegKeyTest, ClosesEachKeyExactlyOnce) {
  const HANDLE before = NextHandle();
  CHandle event;
  {
    CRegKey first;
    ASSERT_EQ(ERROR_SUCCESS, first.Open(HKEY_CURRENT_USER, "Software", KEY_READ));
    {
      CRegKey second(std::move(first));
      EXPECT_FALSE(first.IsOpen());
      EXPECT_TRUE(second.IsOpen());
      CRegKey third;
      third = std::move(second);
      EXPECT_EQ(ERROR_SUCCESS, third.Close());
      EXPECT_EQ(ERROR_SUCCESS, third.Close());
    }
    // The freed slot goes to this event; a second close of the key would hit it.
    event.Attach(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  }
  EXPECT_TRUE(SetEvent(event));
  event.Close();
  EXPECT_EQ(before, NextHandle());

  {
    CRegKey root(HKEY_CURRENT_USER);
  }
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key));
  RegCloseKey(key);
  EXPECT_TRUE(CRegKey::IsPredefined(HKEY_LOCAL_MACHINE));
  EXPECT_FALSE(CRegKey::IsPredefined(nullptr));
}

}  // namespace
