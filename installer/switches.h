#pragma once
// The switches an administrator gives the installer after "/install" or
// "/uninstall" (and setup.exe on its own command line):
//   /VERYSILENT       no window at all
//   /SILENT           the progress boxes only
//   /DIR="folder"     the install folder
//   /CURRENTUSER      for this user only, never elevated
//   /ALLUSERS         for all users, elevated where the system wants it
//   /NORESTART        Windows is never restarted
//   /LOG="file"       one line per step, with its result
// Case does not matter and the order is free; a later switch overrides an
// earlier one of its kind, and /VERYSILENT wins over /SILENT. A value may be
// quoted in part or whole ("/DIR=C:\My Folder" or /DIR="C:\My Folder"); a
// quote only groups, so a folder may end with a backslash.
// No Windows calls here, so it builds for the host too.
#include <string>

enum class InstallUi { kFull, kProgressOnly, kNone };
enum class InstallScope { kDefault, kCurrentUser, kAllUsers };

struct CInstallSwitches {
  bool any = false;  // at least one switch was given
  InstallUi ui = InstallUi::kFull;
  InstallScope scope = InstallScope::kDefault;
  bool noRestart = false;
  std::string installFolder;  // /DIR=; empty: not given
  std::string log;  // empty: not given
};

// Reads `text` as switches alone. False when anything in it is not one of
// them (an unknown switch, a bare word, /DIR= or /LOG= without a value, an
// unclosed quote); `switches` is then left as it was.
bool ParseInstallSwitches(const std::string& text, CInstallSwitches& switches);

// Splits a command-line tail into its first word and the switches after it.
// True when the first word is exactly `mode` (case-sensitive, as the modes
// are compared) and everything after the blanks that follow it is switches.
bool ParseModeWithSwitches(const std::string& tail, const std::string& mode,
                           CInstallSwitches& switches);

// The switches as command-line text, each with a leading blank, values in
// quotes; empty when none is set. ParseInstallSwitches reads it back.
std::string FormatInstallSwitches(const CInstallSwitches& switches);
