#include "engine/device_names.h"

#include <cstring>

namespace {

bool IsSeparator(char ch) { return ch == '\\' || ch == '/'; }

char Upper(char ch) { return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch; }

bool EqualsUpper(const std::string& text, const char* upper) {
  if (text.size() != std::strlen(upper)) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (Upper(text[i]) != upper[i]) return false;
  return true;
}

}  // namespace

bool IsDeviceName(const std::string& name) {
  // "\\.\COM1" and "//./PhysicalDrive0": the device namespace. Behind
  // "\\?\" a drive's path ("\\?\C:\...") or a share's ("\\?\UNC\...")
  // names a file, a reserved name there too (the system takes the rest as it
  // stands); anything else there ("\\?\GLOBALROOT", "\\?\Volume{...}") is
  // no file of a folder.
  if (name.size() >= 4 && IsSeparator(name[0]) && IsSeparator(name[1]) && (name[2] == '.' || name[2] == '?') &&
      IsSeparator(name[3])) {
    if (name[2] == '.') return true;
    const std::string rest = name.substr(4);
    const bool drivePath = rest.size() >= 2 && rest[1] == ':' && Upper(rest[0]) >= 'A' && Upper(rest[0]) <= 'Z';
    const bool sharePath = rest.size() >= 4 && EqualsUpper(rest.substr(0, 3), "UNC") && IsSeparator(rest[3]);
    return !drivePath && !sharePath;
  }
  // The last part, after any folder or drive.
  size_t start = name.find_last_of("\\/");
  start = start == std::string::npos ? 0 : start + 1;
  if (start == 0 && name.size() >= 2 && name[1] == ':') start = 2;
  std::string part = name.substr(start);
  // The system drops trailing dots and spaces, and reads the base name up to
  // the first dot or colon (an extension or a stream), without its trailing
  // spaces.
  const size_t end = part.find_first_of(".:");
  if (end != std::string::npos) part.erase(end);
  while (!part.empty() && part.back() == ' ') part.pop_back();
  for (const char* device : {"CON", "NUL", "PRN", "AUX", "CONIN$", "CONOUT$"})
    if (EqualsUpper(part, device)) return true;
  if (part.size() == 4 && part[3] >= '1' && part[3] <= '9') {
    const std::string stem = part.substr(0, 3);
    if (EqualsUpper(stem, "COM") || EqualsUpper(stem, "LPT")) return true;
  }
  return false;
}
