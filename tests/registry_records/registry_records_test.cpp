#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app_base/settings.h"
#include "framework/reg_key.h"
#include "installer/registry_records.h"
#include "tests/settings/registry_probe.h"

namespace {

// A scratch tree of the tests' own, below HKCU and HKLM alike.
constexpr const char kScratch[] = "Software\\VelmoraRecordsTest";
constexpr const char kTestAppPath[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\VelmoraRecordsTest.exe";

std::string OwnPath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, length);
}

DWORD SubkeyCount(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  DWORD count = 0;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return count;
}

void MakeKey(HKEY root, const std::string& path) { SetRawString(root, path.c_str(), "v", "x"); }

// Creates the keys names below root\base, one level at a time (so the whole
// path may be longer than one call takes), with a value in each.
void MakeChain(HKEY root, const std::string& base, const std::vector<std::string>& names) {
  CRegKey key;
  ASSERT_EQ(ERROR_SUCCESS, key.Create(root, base.c_str(), KEY_ALL_ACCESS));
  for (const std::string& name : names) {
    CRegKey child;
    ASSERT_EQ(ERROR_SUCCESS, child.Create(key, name.c_str(), KEY_ALL_ACCESS)) << name;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(child, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2));
    key = std::move(child);
  }
}

bool ChainExists(HKEY root, const std::string& base, const std::vector<std::string>& names) {
  CRegKey key;
  if (key.Open(root, base.c_str(), KEY_READ) != ERROR_SUCCESS) return false;
  for (const std::string& name : names) {
    CRegKey child;
    if (child.Open(key, name.c_str(), KEY_READ) != ERROR_SUCCESS) return false;
    key = std::move(child);
  }
  return true;
}

// The values of HKCU's Run key, put back when the object goes: a test may
// take the key away meanwhile.
class CRunKeyAside {
 public:
  CRunKeyAside() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    for (DWORD i = 0;; ++i) {
      char name[16384];
      DWORD nameLength = sizeof name, type = 0, size = 0;
      if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
      Value value{std::string(name, nameLength), type, std::vector<BYTE>(size)};
      nameLength = sizeof name;
      if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, value.data.data(), &size) != ERROR_SUCCESS) break;
      value.data.resize(size);
      m_Values.push_back(std::move(value));
    }
    RegCloseKey(key);
  }
  ~CRunKeyAside() {
    for (const Value& value : m_Values) {
      SetRaw(HKEY_CURRENT_USER, kRunKey, value.name.c_str(), value.type, value.data.data(),
             static_cast<DWORD>(value.data.size()));
    }
  }
  CRunKeyAside(const CRunKeyAside&) = delete;
  CRunKeyAside& operator=(const CRunKeyAside&) = delete;

 private:
  struct Value {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
  };
  std::vector<Value> m_Values;
};

class RegistryRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProfileLocation("Orvane", "Zenvero");
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) ASSERT_TRUE(DeleteTree(root, kScratch));
    ASSERT_TRUE(DeleteTree(HKEY_LOCAL_MACHINE, kTestAppPath));
  }
  void TearDown() override {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) DeleteTree(root, kScratch);
    DeleteTree(HKEY_LOCAL_MACHINE, kTestAppPath);
    DeleteRegistryValue(HKEY_CURRENT_USER, kRunKey, "OrvaneZenvero");
  }
};

TEST_F(RegistryRecordsTest, KeyNamesComeFromTheProfileLocation) {
  EXPECT_EQ("OrvaneZenvero", GetInstanceKey());
  EXPECT_EQ("Software\\Orvane", GetRegistryKeyPath());
  EXPECT_EQ("Software\\Orvane\\Zenvero", GetApplicationKey());
  EXPECT_EQ("Software\\Orvane\\Zenvero\\SelfInstall", GetSelfInstallKey());
  EXPECT_EQ("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrvaneZenvero",
            GetUninstallKey());
  EXPECT_EQ("Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Velmora.exe",
            GetAppPathKey("Velmora.exe"));

  // Without a location no name is formed, so nothing can land one level up.
  SetProfileLocation("", "");
  for (const std::string& name : {GetInstanceKey(), GetRegistryKeyPath(), GetApplicationKey(),
                                  GetSelfInstallKey(), GetUninstallKey()})
    EXPECT_EQ("", name);
  EXPECT_EQ("", GetAppPathKey(""));
}

TEST_F(RegistryRecordsTest, TreeDeletionRemovesDeepWideAndLongNamedKeys) {
  const std::string tree = std::string(kScratch) + "\\Tree";
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    SCOPED_TRACE(root == HKEY_CURRENT_USER ? "HKCU" : "HKLM");
    // Names past the 127 characters an old fixed buffer held, up to the
    // registry's limit of 255.
    for (size_t length : {128, 200, 255})
      MakeChain(root, tree, {std::string(length, 'L'), "child"});
    // Deep: 30 levels, each with a sibling, a path far longer than MAX_PATH.
    std::vector<std::string> deep = {"deep"};
    for (int level = 0; level < 30; ++level) {
      deep.push_back("level " + std::to_string(level) + " of the deep tree");
      std::vector<std::string> sibling = deep;
      sibling.back() = "sibling";
      MakeChain(root, tree, sibling);
    }
    MakeChain(root, tree, deep);
    ASSERT_TRUE(ChainExists(root, tree, deep));
    // Wide: many children whose indexes shift as they go.
    for (int i = 0; i < 40; ++i) MakeChain(root, tree, {"wide", std::to_string(i)});
    ASSERT_EQ(5u, SubkeyCount(root, tree));
    ASSERT_TRUE(ChainExists(root, tree, {std::string(255, 'L'), "child"}));
    MakeChain(root, kScratch, {"Sibling"});

    DeleteRegKeyTree(root, tree);
    EXPECT_FALSE(KeyExists(root, tree.c_str()));
    // The parent and its other children stay.
    EXPECT_TRUE(ChainExists(root, kScratch, {"Sibling"}));
  }
}

TEST_F(RegistryRecordsTest, TreeDeletionOfNothingChangesNothing) {
  const std::string sibling = std::string(kScratch) + "\\Sibling";
  MakeKey(HKEY_CURRENT_USER, sibling);
  DeleteRegKeyTree(HKEY_CURRENT_USER, std::string(kScratch) + "\\Missing");
  DeleteRegKeyTree(HKEY_CURRENT_USER, std::string(kScratch) + "\\Missing\\Deeper");
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, sibling.c_str()));
  // An empty path names the root: nothing below HKCU may go.
  DeleteRegKeyTree(HKEY_CURRENT_USER, "");
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, sibling.c_str()));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Microsoft"));
}

TEST_F(RegistryRecordsTest, KeyWithoutSubkeysIsDeletedValuesAndAll) {
  const std::string company = std::string(kScratch) + "\\Orvane";
  MakeKey(HKEY_CURRENT_USER, company + "\\Other");
  SetRawString(HKEY_CURRENT_USER, company.c_str(), "Kept", "value");

  // Another subkey left: the key stays.
  DeleteRegKeyIfNoSubkeys(HKEY_CURRENT_USER, company);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, (company + "\\Other").c_str()));

  // Values only: it goes, values and all.
  ASSERT_TRUE(DeleteTree(HKEY_CURRENT_USER, (company + "\\Other").c_str()));
  ASSERT_EQ(1u, ValueCount(HKEY_CURRENT_USER, company.c_str()));
  DeleteRegKeyIfNoSubkeys(HKEY_CURRENT_USER, company);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, company.c_str()));

  // Missing key or empty path: nothing happens.
  DeleteRegKeyIfNoSubkeys(HKEY_CURRENT_USER, company);
  DeleteRegKeyIfNoSubkeys(HKEY_CURRENT_USER, "");
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kScratch));
}

TEST_F(RegistryRecordsTest, RunEntryIsWrittenAndRemovedUnderTheInstanceKey) {
  ASSERT_TRUE(EnsureRegistryKey(HKEY_CURRENT_USER, kRunKey));
  SetRawString(HKEY_CURRENT_USER, kRunKey, "VelmoraRecordsNeighbour", "other.exe");

  const struct {
    const char* arguments;
    std::string command;
  } cases[] = {
      {"", "\"" + OwnPath() + "\""},
      {"/minimized -x", "\"" + OwnPath() + "\" /minimized -x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    SetRunAtStartup(c.arguments, 1);
    const RawValue raw = QueryRaw(HKEY_CURRENT_USER, kRunKey, "OrvaneZenvero");
    ASSERT_TRUE(raw.exists);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), raw.type);
    EXPECT_EQ(c.command + '\0', raw.Text());
  }

  SetRunAtStartup("", 0);
  EXPECT_FALSE(QueryRaw(HKEY_CURRENT_USER, kRunKey, "OrvaneZenvero").exists);
  // Removing what is not there changes nothing.
  SetRunAtStartup("", 0);
  EXPECT_EQ("other.exe", GetRegistryString(HKEY_CURRENT_USER, kRunKey, "VelmoraRecordsNeighbour", ""));
  DeleteRegistryValue(HKEY_CURRENT_USER, kRunKey, "VelmoraRecordsNeighbour");
}

TEST_F(RegistryRecordsTest, RunEntryNeedsTheRunKeyAndAName) {
  // Without a profile location there is no value name: the Run key's
  // default value stays untouched.
  ASSERT_TRUE(EnsureRegistryKey(HKEY_CURRENT_USER, kRunKey));
  SetProfileLocation("", "");
  SetRunAtStartup("", 1);
  EXPECT_FALSE(QueryRaw(HKEY_CURRENT_USER, kRunKey, "").exists);
  SetProfileLocation("Orvane", "Zenvero");

  // A missing Run key is not created.
  CRunKeyAside aside;
  ASSERT_EQ(0u, SubkeyCount(HKEY_CURRENT_USER, kRunKey)) << "only a Run key without subkeys is moved aside";
  ASSERT_TRUE(DeleteTree(HKEY_CURRENT_USER, kRunKey));
  ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, kRunKey));
  SetRunAtStartup("", 1);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kRunKey));
  EXPECT_TRUE(EnsureRegistryKey(HKEY_CURRENT_USER, kRunKey));
}

TEST_F(RegistryRecordsTest, AppPathEntryIsWrittenAndItsTreeRemoved) {
  const char* exe = "VelmoraRecordsTest.exe";
  SetAppPath(exe, "", 1);
  RawValue program = QueryRaw(HKEY_LOCAL_MACHINE, kTestAppPath, "");
  ASSERT_TRUE(program.exists);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), program.type);
  EXPECT_EQ(OwnPath() + '\0', program.Text());
  // An empty path value is not written.
  EXPECT_FALSE(QueryRaw(HKEY_LOCAL_MACHINE, kTestAppPath, "Path").exists);

  SetAppPath(exe, "C:\\Tools;C:\\More Tools", 1);
  const RawValue path = QueryRaw(HKEY_LOCAL_MACHINE, kTestAppPath, "Path");
  ASSERT_TRUE(path.exists);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), path.type);
  EXPECT_EQ(std::string("C:\\Tools;C:\\More Tools") + '\0', path.Text());

  // Removal takes the whole tree, a subkey too, and nothing beside it.
  MakeKey(HKEY_LOCAL_MACHINE, std::string(kTestAppPath) + "\\Extra");
  SetAppPath(exe, "ignored", 0);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kTestAppPath));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kAppPathsKeyBase));
}

TEST_F(RegistryRecordsTest, AppPathWithoutExeNameLeavesTheAppPathsKeyAlone) {
  MakeKey(HKEY_LOCAL_MACHINE, kTestAppPath);
  const RawValue before = QueryRaw(HKEY_LOCAL_MACHINE, kAppPathsKeyBase, "");
  SetAppPath("", "", 0);
  SetAppPath("", "x", 1);
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kTestAppPath));
  const RawValue after = QueryRaw(HKEY_LOCAL_MACHINE, kAppPathsKeyBase, "");
  EXPECT_EQ(before.exists, after.exists);
  EXPECT_EQ(before.data, after.data);
}

}  // namespace
