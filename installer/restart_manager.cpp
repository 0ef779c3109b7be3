#include "installer/restart_manager.h"

#include <algorithm>

#include "framework/file_system.h"
#include "framework/system_library.h"
#include "installer/backdrop.h"
#include "installer/close_programs.h"
#include "installer/install_job.h"
#include "installer/installer_routines.h"
#include "installer/program_of_process.h"

namespace {

template <class Function>
Function RoutineOf(HMODULE library, const char* name) {
  if (library == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

std::wstring Wide(const std::string& text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (length <= 1) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], length);
  wide.resize(static_cast<size_t>(length) - 1);
  return wide;
}

std::string Narrow(const WCHAR* text) {
  const int length = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return std::string();
  std::string narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, &narrow[0], length, nullptr, nullptr);
  narrow.resize(static_cast<size_t>(length) - 1);
  return narrow;
}

// One Restart Manager session for the life of the object.
class CRmSession {
 public:
  explicit CRmSession(const CRestartManagerRoutines& rm) : m_Rm(rm) {
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    m_bOpen = rm.startSession(&m_nSession, 0, key) == ERROR_SUCCESS;
  }
  ~CRmSession() {
    if (m_bOpen) m_Rm.endSession(m_nSession);
  }
  CRmSession(const CRmSession&) = delete;
  CRmSession& operator=(const CRmSession&) = delete;

  bool IsOpen() const { return m_bOpen; }
  DWORD Handle() const { return m_nSession; }
  // The processes that use what the session holds; empty when none or
  // when the list cannot be had.
  std::vector<RM_PROCESS_INFO> List() const {
    std::vector<RM_PROCESS_INFO> processes;
    for (int attempt = 0; attempt < 3; ++attempt) {
      UINT needed = 0;
      UINT count = static_cast<UINT>(processes.size());
      DWORD reasons = 0;
      const DWORD error = m_Rm.getList(m_nSession, &needed, &count, processes.data(), &reasons);
      if (error == ERROR_SUCCESS) {
        processes.resize(std::min<size_t>(count, processes.size()));
        return processes;
      }
      if (error != ERROR_MORE_DATA) break;
      processes.resize(needed);
    }
    return std::vector<RM_PROCESS_INFO>();
  }

 private:
  const CRestartManagerRoutines& m_Rm;
  DWORD m_nSession = 0;
  bool m_bOpen = false;
};

// The processes that use the files, less this one and the one that started
// it (the unelevated copy that waits for an elevated uninstall).
std::vector<RM_PROCESS_INFO> FileUsers(const CRestartManagerRoutines& rm, const std::vector<std::wstring>& files) {
  CRmSession session(rm);
  if (!session.IsOpen()) return std::vector<RM_PROCESS_INFO>();
  std::vector<LPCWSTR> names;
  for (const std::wstring& file : files) names.push_back(file.c_str());
  if (rm.registerResources(session.Handle(), static_cast<UINT>(names.size()), names.data(), 0, nullptr, 0, nullptr) !=
      ERROR_SUCCESS)
    return std::vector<RM_PROCESS_INFO>();
  std::vector<RM_PROCESS_INFO> users = session.List();
  const DWORD own = GetCurrentProcessId();
  const DWORD parent = ParentProcessId();
  users.erase(std::remove_if(users.begin(), users.end(),
                             [&](const RM_PROCESS_INFO& user) {
                               return user.Process.dwProcessId == own ||
                                      (parent != 0 && user.Process.dwProcessId == parent);
                             }),
              users.end());
  return users;
}

// Asks those processes alone to end; true when the Restart Manager says
// they did.
bool ShutDown(const CRestartManagerRoutines& rm, std::vector<RM_PROCESS_INFO>& users) {
  CRmSession session(rm);
  if (!session.IsOpen()) return false;
  std::vector<RM_UNIQUE_PROCESS> processes;
  for (const RM_PROCESS_INFO& user : users) processes.push_back(user.Process);
  if (rm.registerResources(session.Handle(), 0, nullptr, static_cast<UINT>(processes.size()), processes.data(), 0,
                           nullptr) != ERROR_SUCCESS)
    return false;
  session.List();  // the shutdown acts on the list the session has made
  return rm.shutdown(session.Handle(), 0, nullptr) == ERROR_SUCCESS;
}

}  // namespace

CRestartManagerRoutines SystemRestartManager() {
  static const CRestartManagerRoutines routines = [] {
    CRestartManagerRoutines rm = {};
    HMODULE library = LoadSystemLibrary("rstrtmgr.dll");
    if (library == nullptr) return rm;
    rm.startSession = RoutineOf<decltype(rm.startSession)>(library, "RmStartSession");
    rm.endSession = RoutineOf<decltype(rm.endSession)>(library, "RmEndSession");
    rm.registerResources = RoutineOf<decltype(rm.registerResources)>(library, "RmRegisterResources");
    rm.getList = RoutineOf<decltype(rm.getList)>(library, "RmGetList");
    rm.shutdown = RoutineOf<decltype(rm.shutdown)>(library, "RmShutdown");
    if (!rm.startSession || !rm.endSession || !rm.registerResources || !rm.getList || !rm.shutdown) rm = {};
    return rm;
  }();
  return routines;
}

CloseResult CloseFileUsers(HWND owner, const std::vector<std::string>& files, const std::string& programName) {
  const CRestartManagerRoutines rm = InstallerRoutines().restartManager();
  if (rm.startSession == nullptr) return CloseResult::kClosed;
  std::vector<std::wstring> wide;
  for (const std::string& file : files) {
    if (GetFileAttributesNamed(file.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    std::wstring name = Wide(file);
    if (!name.empty()) wide.push_back(name);
  }
  if (wide.empty()) return CloseResult::kClosed;
  for (;;) {
    std::vector<RM_PROCESS_INFO> users = FileUsers(rm, wide);
    if (users.empty()) return CloseResult::kClosed;
    for (const RM_PROCESS_INFO& user : users)
      LogInstallStep("Close the running copy \"" + Narrow(user.strAppName) + "\" (process " +
                     std::to_string(user.Process.dwProcessId) + ", session " + std::to_string(user.TSSessionId) +
                     "): asked to close through the Restart Manager");
    if (ShutDown(rm, users) && FileUsers(rm, wide).empty()) return CloseResult::kClosed;
    if (InstallerMessageBox(owner, "Please exit the program " + programName + ".", MB_OKCANCEL | MB_ICONEXCLAMATION) !=
        IDOK)
      return CloseResult::kCancelled;
  }
}
