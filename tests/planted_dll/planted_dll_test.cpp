// A planted riched32.dll and hhctrl.ocx beside the program never load: the
// probe loads them as the licence dialog and the help do, from a folder that
// holds the stand-in under both names, with Wine told to take those two
// DLLs from the program's folder first, as Windows does for every DLL that
// is not one of its KnownDLLs.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "framework/handle.h"
#include "framework/reg_key.h"
#include "tests/support/temp_dir.h"

namespace {

// Runs the probe copied into `folder` with `mode`; its exit code, or -1.
int RunProbe(const std::string& folder, const std::string& mode) {
  std::string commandLine = "\"" + folder + "\\planted_probe.exe\" " + mode;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &info))
    return -1;
  CHandle process(info.hProcess);
  CHandle thread(info.hThread);
  if (WaitForSingleObject(process, 60000) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  return static_cast<int>(code);
}

// Wine's own DLLs come before a native one of that name beside the program
// unless it is told otherwise; this makes it search as Windows does for the
// probe (Wine reads a program's overrides when it starts; a variable in the
// environment of a process started from a Windows program is not read).
class CWindowsDllOrder {
 public:
  CWindowsDllOrder() {
    CRegKey key;
    if (key.Create(HKEY_CURRENT_USER, kKey, KEY_SET_VALUE) != ERROR_SUCCESS) return;
    for (const char* name : {"riched32", "hhctrl.ocx"}) key.SetStringValue(name, "native,builtin");
  }
  ~CWindowsDllOrder() {
    RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\planted_probe.exe");
  }
  CWindowsDllOrder(const CWindowsDllOrder&) = delete;
  CWindowsDllOrder& operator=(const CWindowsDllOrder&) = delete;

 private:
  static constexpr const char* kKey = "Software\\Wine\\AppDefaults\\planted_probe.exe\\DllOverrides";
};

TEST(PlantedDll, NeverLoadedByTheProgramFromItsOwnFolder) {
  CTempDir dist;
  ASSERT_TRUE(CopyFileA(PLANTED_DLL_PROBE, (dist / "planted_probe.exe").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(PLANTED_LIBRARY, (dist / "riched32.dll").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(PLANTED_LIBRARY, (dist / "hhctrl.ocx").c_str(), FALSE));
  CWindowsDllOrder order;
  const struct {
    const char* mode;
    int planted;
  } cases[] = {
      // Loaded by bare name as Windows searches: both planted ones run
      // (the check that this test can see a planted DLL at all).
      {"bare", 3},
      // The search restricted to the system folder: none, even by bare name.
      {"restricted", 0},
      // The program's own way: none.
      {"", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.planted, RunProbe(dist.GetPath(), c.mode)) << "mode \"" << c.mode << "\"";
}

}  // namespace
