#include "installer/install_job.h"

#include <cstdio>

#include "framework/file_system.h"
#include "framework/handle.h"
#include "framework/wide.h"
#include "installer/install_paths.h"

namespace {

CInstallSwitches g_job;


// Opens the log itself, never what a reparse point there points at; an
// invalid handle when the file is such a point or has other names.
CHandle OpenLogFile(const std::string& log, DWORD access, DWORD disposition) {
  CHandle file(CreateFileNamed(log.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, disposition,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS));
  BY_HANDLE_FILE_INFORMATION information = {};
  if (file.IsValid() && GetFileInformationByHandle(file, &information) &&
      ((information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
       information.nNumberOfLinks > 1))
    return CHandle();
  return file;
}

}  // namespace

std::string LogFileRefusal(const std::string& log) {
  std::string full;
  if (!GetFullPathNamed(log, full)) return "its name is not a valid path";
  const std::string link = ReparsePointOnPath(full);
  if (!link.empty()) return link + " is a link to another place (a junction or symbolic link)";
  if (GetFileAttributesNamed(full.c_str()) != INVALID_FILE_ATTRIBUTES &&
      !OpenLogFile(full, FILE_READ_ATTRIBUTES, OPEN_EXISTING).IsValid())
    return "that file is not a plain file of one name (a link, a folder, or a file with other names)";
  return std::string();
}

void SetInstallJob(const CInstallSwitches& switches) { g_job = switches; }

const CInstallSwitches& InstallJob() { return g_job; }

bool InstallJobIsSilent() { return g_job.ui != InstallUi::kFull; }

bool InstallJobShowsProgress() { return g_job.ui != InstallUi::kNone; }

void LogInstallStep(const std::string& step) {
  if (g_job.log.empty()) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond);
  std::string line = stamp;
  for (char c : step) line += (c == '\r' || c == '\n') ? ' ' : c;
  line += "\r\n";
  // Opened for each line and shared, so that the steps of one job in two
  // processes (install steps 1 and 2) come out in the order they happened.
  // (Written at the end rather than opened for appending only, which the
  // Windows 95 family does not know; one process writes at a time.)
  CHandle file = OpenLogFile(g_job.log, GENERIC_WRITE, OPEN_ALWAYS);
  if (!file.IsValid()) return;
  // UTF-8 text: a new log starts with the mark that says so.
  const DWORD end = SetFilePointer(file, 0, nullptr, FILE_END);
  if (end == 0 && UsesUtf8Text()) line.insert(0, "\xEF\xBB\xBF");
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

bool LogInstallResult(const std::string& step, bool ok, DWORD error) {
  if (ok) {
    LogInstallStep(step + ": done");
  } else {
    LogInstallStep(step + ": failed (error " + std::to_string(error) + ": " +
                   SystemErrorText(error) + ")");
  }
  return ok;
}

bool LogInstallResult(const std::string& step, bool ok) {
  const DWORD error = ok ? 0 : GetLastError();
  return LogInstallResult(step, ok, error);
}
