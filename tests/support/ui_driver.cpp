#include "tests/support/ui_driver.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Bound of one cross-process message: a program busy converting may not
// answer at once, but a program that hangs must not hang the test.
constexpr UINT kSendTimeout = 5000;
constexpr DWORD kPollInterval = 20;

std::string ClassOf(HWND window) {
  char name[256] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

bool SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeout, &answer))
    return false;
  if (result != nullptr) *result = answer;
  return true;
}

// The edit field that receives typing: the box itself, or a combo box's edit.
HWND EditFieldOf(HWND control) {
  if (lstrcmpiA(ClassOf(control).c_str(), "ComboBox") != 0) return control;
  HWND edit = FindWindowExA(control, nullptr, "Edit", nullptr);
  return edit != nullptr ? edit : control;
}

// What a user can click or type into: visible and enabled, inside a window
// that is enabled too (a window under a modal box is not).
bool IsUsable(HWND window) {
  if (window == nullptr || !IsWindowVisible(window) || !IsWindowEnabled(window)) return false;
  HWND root = GetAncestor(window, GA_ROOT);
  return root == nullptr || IsWindowEnabled(root);
}

std::string Narrow(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return std::string();
  std::string narrow(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, &narrow[0], size, nullptr, nullptr);
  narrow.pop_back();
  return narrow;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, DWORD timeout) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (GetTickCount() - start >= timeout) return done();
    Sleep(kPollInterval);
  }
}

std::string GetDistFolder() {
  // The build tree's path as the host names it; Wine shows the host's root
  // as drive Z:.
  std::string folder = "Z:" VELMORA_BINARY_DIR "/dist/";
  for (char& c : folder)
    if (c == '/') c = '\\';
  return folder;
}

// --- CDrivenProcess ---

CDrivenProcess::~CDrivenProcess() { Kill(); }

CDrivenProcess::CDrivenProcess(CDrivenProcess&& other) noexcept
    : m_hProcess(std::move(other.m_hProcess)), m_dwId(std::exchange(other.m_dwId, 0)) {}

CDrivenProcess& CDrivenProcess::operator=(CDrivenProcess&& other) noexcept {
  if (this != &other) {
    Kill();
    m_hProcess = std::move(other.m_hProcess);
    m_dwId = std::exchange(other.m_dwId, 0);
  }
  return *this;
}

namespace {

// The file name of the program that starts `commandLine` ("Velmora.exe").
std::string ProgramFileName(const std::string& commandLine) {
  std::string program;
  if (!commandLine.empty() && commandLine[0] == '"')
    program = commandLine.substr(1, commandLine.find('"', 1) - 1);
  else
    program = commandLine.substr(0, commandLine.find_first_of(" \t"));
  program.erase(0, program.find_last_of("\\/") + 1);
  if (program.find('.') == std::string::npos) program += ".exe";
  return program;
}

}  // namespace

void DisableWindowManagerWaits(const std::string& exeName) {
  const std::string path = "Software\\Wine\\AppDefaults\\" + exeName + "\\X11 Driver";
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return;
  RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
  RegCloseKey(key);
}

bool CDrivenProcess::Start(const std::string& commandLine, const std::string& folder) {
  Kill();
  DisableWindowManagerWaits(ProgramFileName(commandLine));
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION info;
  std::memset(&info, 0, sizeof info);
  // Under Wine a start now and then fails with ERROR_INTERNAL_ERROR (seen
  // once in some fifty runs of the end-to-end tests, as a test started the
  // program again after ending it); one more try after a moment.
  for (int attempt = 0;; ++attempt) {
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                       folder.empty() ? nullptr : folder.c_str(), &startup, &info))
      break;
    if (attempt == 1 || GetLastError() != ERROR_INTERNAL_ERROR) return false;
    Sleep(500);
  }
  CHandle(info.hThread).Close();
  m_hProcess.Attach(info.hProcess);
  m_dwId = info.dwProcessId;
  return true;
}

bool CDrivenProcess::Attach(DWORD processId) {
  Kill();
  m_hProcess.Attach(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE, processId));
  if (!m_hProcess.IsValid()) return false;
  m_dwId = processId;
  return true;
}

bool CDrivenProcess::IsRunning() const {
  return m_hProcess.IsValid() && WaitForSingleObject(m_hProcess, 0) == WAIT_TIMEOUT;
}

bool CDrivenProcess::WaitForExit(DWORD timeout, DWORD* exitCode) const {
  if (!m_hProcess.IsValid()) return false;
  if (WaitForSingleObject(m_hProcess, timeout) != WAIT_OBJECT_0) return false;
  if (exitCode != nullptr) GetExitCodeProcess(m_hProcess, exitCode);
  return true;
}

void CDrivenProcess::Kill() {
  if (!m_hProcess.IsValid()) return;
  if (WaitForSingleObject(m_hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(m_hProcess, 255);
    WaitForSingleObject(m_hProcess, kUiWait);
  }
  m_hProcess.Close();
  m_dwId = 0;
}

std::vector<HWND> CDrivenProcess::GetTopLevelWindows(bool visibleOnly) const {
  struct Search {
    DWORD id;
    bool visibleOnly;
    std::vector<HWND> found;
  } search{m_dwId, visibleOnly, {}};
  if (m_dwId == 0) return search.found;
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == s->id && (!s->visibleOnly || IsWindowVisible(window))) s->found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND CDrivenProcess::FindWindow(const WindowQuery& query) const {
  for (HWND window : GetTopLevelWindows(query.visibleOnly)) {
    if (!query.className.empty() && ClassOf(window) != query.className) continue;
    if (!query.caption.empty() && GetWindowTextOf(window) != query.caption) continue;
    return window;
  }
  return nullptr;
}

HWND CDrivenProcess::WaitForWindow(const WindowQuery& query, DWORD timeout) const {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindWindow(query)) != nullptr; }, timeout);
  return found;
}

bool CDrivenProcess::FindMessageBox(MessageBoxInfo* box) const {
  for (HWND window : GetTopLevelWindows(true)) {
    if (IsWindowEnabled(window) && IsMessageBox(window)) {
      *box = ReadMessageBox(window);
      return true;
    }
  }
  return false;
}

bool CDrivenProcess::WaitForMessageBox(MessageBoxInfo* box, DWORD timeout) const {
  return WaitUntil([&] { return FindMessageBox(box); }, timeout);
}

HWND WaitForAnyWindow(const WindowQuery& query, DWORD timeout) {
  struct Search {
    const WindowQuery* query;
    HWND found;
  } search{&query, nullptr};
  WaitUntil(
      [&] {
        EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
              auto* s = reinterpret_cast<Search*>(param);
              if (s->query->visibleOnly && !IsWindowVisible(window)) return TRUE;
              if (!s->query->className.empty() && ClassOf(window) != s->query->className) return TRUE;
              if (!s->query->caption.empty() && GetWindowTextOf(window) != s->query->caption) return TRUE;
              s->found = window;
              return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      },
      timeout);
  return search.found;
}

DWORD ProcessOfWindow(HWND window) {
  DWORD id = 0;
  if (window != nullptr) GetWindowThreadProcessId(window, &id);
  return id;
}

std::vector<DWORD> FindProcessesByName(const std::string& exeName) {
  std::vector<DWORD> ids;
  CHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.IsValid()) return ids;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    std::string name = entry.szExeFile;
    name.erase(0, name.find_last_of("\\/") + 1);
    if (lstrcmpiA(name.c_str(), exeName.c_str()) == 0) ids.push_back(entry.th32ProcessID);
  }
  return ids;
}

// --- message boxes ---

bool IsMessageBox(HWND window) {
  if (ClassOf(window) != "#32770") return false;
  HWND text = GetDlgItem(window, 0xFFFF);
  if (text == nullptr || lstrcmpiA(ClassOf(text).c_str(), "Static") != 0) return false;
  bool hasButton = false;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    const int id = GetDlgCtrlID(child);
    const std::string kind = ClassOf(child);
    if (lstrcmpiA(kind.c_str(), "Button") == 0 && id >= IDOK && id <= 11) {
      hasButton = true;
      continue;
    }
    // The text (0xFFFF) and the icon (20 on Windows, 1088 on Wine).
    if (lstrcmpiA(kind.c_str(), "Static") == 0 && (id == 0xFFFF || id == 20 || id == 1088)) continue;
    return false;
  }
  return hasButton;
}

MessageBoxInfo ReadMessageBox(HWND window) {
  MessageBoxInfo box;
  box.hWnd = window;
  box.owner = GetWindow(window, GW_OWNER);
  box.caption = GetWindowTextOf(window);
  box.text = GetControlText(window, 0xFFFF);
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (lstrcmpiA(ClassOf(child).c_str(), "Button") == 0 && IsWindowVisible(child))
      box.buttons.push_back(GetDlgCtrlID(child));
  }
  std::sort(box.buttons.begin(), box.buttons.end());
  return box;
}

// --- controls ---

std::string GetWindowTextOf(HWND window) {
  DWORD_PTR length = 0;
  if (window == nullptr || !SendWithTimeout(window, WM_GETTEXTLENGTH, 0, 0, &length)) return std::string();
  std::vector<char> text(length + 1, '\0');
  DWORD_PTR copied = 0;
  if (!SendWithTimeout(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &copied))
    return std::string();
  return std::string(text.data(), copied < text.size() ? copied : text.size() - 1);
}

std::string GetControlText(HWND dialog, int id) { return GetWindowTextOf(GetDlgItem(dialog, id)); }

std::vector<std::string> GetComboItems(HWND combo) {
  std::vector<std::string> items;
  DWORD_PTR count = 0;
  if (combo == nullptr || !SendWithTimeout(combo, CB_GETCOUNT, 0, 0, &count)) return items;
  for (int i = 0; i < static_cast<int>(count); ++i) {
    // Wine hands another process's list text over in Unicode only.
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, i, 0, SMTO_ABORTIFHUNG, kSendTimeout, &length) ||
        static_cast<LONG_PTR>(length) < 0)
      break;
    std::vector<wchar_t> text(length + 1, L'\0');
    if (!SendMessageTimeoutW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             kSendTimeout, nullptr))
      break;
    items.push_back(Narrow(text.data()));
  }
  return items;
}

bool TypeText(HWND dialog, int id, const std::string& text, DWORD timeout) {
  HWND control = GetDlgItem(dialog, id);
  if (!IsUsable(control)) return false;
  HWND edit = EditFieldOf(control);
  // What is typed replaces the selection, as after a triple click.
  if (!SendWithTimeout(edit, EM_SETSEL, 0, -1, nullptr)) return false;
  if (text.empty()) PostMessageA(edit, WM_CHAR, VK_BACK, 1);
  for (unsigned char c : text) PostMessageA(edit, WM_CHAR, c, 1);
  return WaitUntil([&] { return GetWindowTextOf(control) == text; }, timeout);
}

bool SetControlText(HWND dialog, int id, const std::string& text) {
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) return false;
  DWORD_PTR result = 0;
  if (!SendWithTimeout(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &result)) return false;
  const bool combo = lstrcmpiA(ClassOf(control).c_str(), "ComboBox") == 0;
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, combo ? CBN_EDITCHANGE : EN_CHANGE),
               reinterpret_cast<LPARAM>(control));
  return GetWindowTextOf(control) == text;
}

bool PressButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  if (!IsUsable(button)) return false;
  return PostMessageA(button, BM_CLICK, 0, 0) != FALSE;
}

HWND GetFocusedControl(HWND dialog) {
  GUITHREADINFO info;
  std::memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info)) return nullptr;
  HWND focus = info.hwndFocus;
  // Up to the dialog's own child: a combo box owns its edit field.
  while (focus != nullptr && GetParent(focus) != dialog) focus = GetParent(focus);
  return focus;
}

int GetFocusedControlId(HWND dialog) {
  HWND focus = GetFocusedControl(dialog);
  return focus != nullptr ? GetDlgCtrlID(focus) : 0;
}

bool WaitForWindowGone(HWND window, DWORD timeout, bool visibleOnly) {
  return WaitUntil([&] { return !IsWindow(window) || (visibleOnly && !IsWindowVisible(window)); }, timeout);
}

// --- clipboard ---

namespace {

// Another program may hold the clipboard open for a moment.
bool OpenClipboardSoon() {
  return WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, 2000);
}

}  // namespace

bool PutClipboardText(const std::string& text) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, text.size() + 1);
  if (memory == nullptr) return false;
  void* data = GlobalLock(memory);
  if (data == nullptr) {
    GlobalFree(memory);
    return false;
  }
  std::memcpy(data, text.c_str(), text.size() + 1);
  GlobalUnlock(memory);
  if (!OpenClipboardSoon()) {
    GlobalFree(memory);
    return false;
  }
  EmptyClipboard();
  const bool taken = SetClipboardData(CF_TEXT, memory) != nullptr;
  CloseClipboard();
  if (!taken) GlobalFree(memory);
  return taken;
}

bool GetClipboardText(std::string* text) {
  if (!OpenClipboardSoon()) return false;
  bool ok = false;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* chars = static_cast<const char*>(GlobalLock(data))) {
      // The block may be larger than its text; the text ends at its 0.
      const SIZE_T size = GlobalSize(data);
      text->assign(chars, strnlen(chars, size));
      GlobalUnlock(data);
      ok = true;
    }
  }
  CloseClipboard();
  return ok;
}

// --- screenshots ---

bool SaveWindowImage(HWND window, const std::string& path) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return false;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info;
  std::memset(&info, 0, sizeof info);
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != FALSE;
    GdiFlush();
    SelectObject(memory, old);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (ok) {
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER header;
    std::memset(&header, 0, sizeof header);
    header.bfType = 0x4D42;  // "BM"
    header.bfOffBits = sizeof header + sizeof info.bmiHeader;
    header.bfSize = header.bfOffBits + imageSize;
    info.bmiHeader.biSizeImage = imageSize;
    CHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ok = file.IsValid();
    if (ok) {
      DWORD written = 0;
      ok = WriteFile(file, &header, sizeof header, &written, nullptr) && written == sizeof header &&
           WriteFile(file, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr) &&
           written == sizeof info.bmiHeader && WriteFile(file, bits, imageSize, &written, nullptr) &&
           written == imageSize;
    }
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  return ok;
}
