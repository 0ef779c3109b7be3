#pragma once
// Names that the system takes for a device rather than a file, on every
// version of Windows: opening one reaches the console, the null device, a
// serial or a printer port. No Windows call: it builds for the host too.
#include <string>

// True when `name` names a device: CON, NUL, PRN, AUX, COM1 to COM9, LPT1 to
// LPT9, CONIN$ or CONOUT$ as its last part, in any case, with or without a
// folder before it, an extension, a stream or trailing dots and spaces
// ("C:\texts\nul.txt", "com1:", "Aux . "); any name in the device namespace
// "\\.\" (or "//./"); and a "\\?\" name that is not a drive's or a share's
// path ("\\?\C:\texts\nul.txt" is a file of that name).
bool IsDeviceName(const std::string& name);
