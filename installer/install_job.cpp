#include "installer/install_job.h"

#include <cstdio>

#include "framework/file_system.h"
#include "framework/handle.h"
#include "framework/wide.h"

namespace {

CInstallSwitches g_job;


}  // namespace

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
  CHandle file(CreateFileNamed(g_job.log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL));
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
