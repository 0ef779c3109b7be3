// Which names are devices: a table, on the host and under Wine.
#include "engine/device_names.h"

#include <gtest/gtest.h>

namespace {

TEST(DeviceNames, KnowsEveryDeviceInAnyFormAndNothingElse) {
  const struct {
    const char* name;
    bool device;
  } cases[] = {
      {"CON", true},       {"con", true},          {"NUL", true},          {"Prn", true},
      {"aux", true},       {"COM1", true},         {"com9", true},         {"LPT1", true},
      {"lpt9", true},      {"CONIN$", true},       {"conout$", true},      {"nul.txt", true},
      {"COM1.log.txt", true}, {"C:\\texts\\nul.txt", true}, {"texts/aux", true}, {"C:con", true},
      {"com1:", true},     {"NUL.", true},         {"Aux . ", true},       {"con .txt", true},
      {"\\\\.\\COM1", true}, {"\\\\.\\PhysicalDrive0", true}, {"\\\\?\\GLOBALROOT\\Device\\Null", true},
      {"//./com3", true},
      {"", false},         {"a.txt", false},       {"COM0", false},        {"COM10", false},
      {"LPT", false},      {"CONSOLE", false},     {"nul-file.txt", false}, {"my con.txt", false},
      {"CON\\a.txt", false}, {"C:\\nul\\a.txt", false}, {"\\\\server\\share\\a.txt", false},
      {"\\\\?\\C:\\texts\\a.txt", false}, {"\\\\?\\C:\\texts\\nul.txt", false},
      {"\\\\?\\UNC\\server\\share\\con", false},
      {"xcom1", false},    {"CONIN", false},       {".con", false},        {"\\\\.", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.device, IsDeviceName(c.name)) << "\"" << c.name << "\"";
}

}  // namespace
