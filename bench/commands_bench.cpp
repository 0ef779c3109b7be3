// Windows side of the command benchmark: the real Velmora.exe started and
// driven from outside, the way a user runs its commands, with the time from
// the button press to the window that reports the result.
//   commands_bench multiple FOLDER PATTERN
//     Velmora started in FOLDER, PATTERN put into the pattern box, "Convert
//     &Multiple Files" pressed; timed until the results dialog is there
//     (every file converted and copied back). Prints the report's line count.
//   commands_bench clipboard INPUT OUTPUT
//     INPUT put on the clipboard as text, Velmora started, "&Convert
//     Clipboard" pressed; timed until the question box is there (the text
//     read, converted and put back). The clipboard's text is then written
//     to OUTPUT.
//   commands_bench expand-text INPUT OUTPUT
//     The clipboard command's conversion alone, in memory: the same two
//     engine calls (measure, then expand into a buffer of that size).
//   commands_bench expand-utf16 INPUT OUTPUT
//     The same for the Unicode clipboard: INPUT's bytes widened to UTF-16
//     units (untimed), measured and expanded as UTF-16, narrowed back.
// Each mode prints "timed SECONDS" and a detail line; the program's start and
// the untimed set-up are not counted.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

#include "bench/bench_files.h"
#include "engine/expand_text.h"
#include "tests/support/ui_driver.h"

namespace {

constexpr DWORD kLongWait = 30 * 60 * 1000;

double Seconds() {
  LARGE_INTEGER frequency, count;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&count);
  return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}


// Starts the program in `folder` and waits for its main window.
HWND StartVelmora(CDrivenProcess& app, const std::string& folder) {
  if (!app.Start("\"" + GetDistFolder() + "Velmora.exe\"", folder)) return nullptr;
  HWND main = app.WaitForWindow({"Orvane Zenvero", "#32770"});
  if (main != nullptr) WaitUntil([&] { return !GetControlText(main, 1004).empty(); });
  return main;
}

// Presses `button` and waits for a new dialog of the program besides the
// main window and the progress window of a run: the results dialog or a
// message box. Polls without sending the busy program any message, and less
// often as the wait grows (every 1/200 of the time so far, from 2 ms on):
// each look at the windows asks the Wine server several times, which a loop
// every 20 ms would take from the program being timed on a long run (the
// server serves one request at a time), while the time stays within 0.5%.
// Returns the seconds from the press.
double PressAndTime(CDrivenProcess& app, HWND main, int button, HWND* shown) {
  *shown = nullptr;
  const double start = Seconds();
  if (!PressButton(main, button)) return -1;
  const auto waitUntil = [&](const auto& done) {
    while (!done() && Seconds() - start < kLongWait / 1000.0) {
      const double pause = (Seconds() - start) * 1000 / 200;
      Sleep(pause < 2 ? 2 : static_cast<DWORD>(pause));
    }
  };
  waitUntil(
      [&] {
        for (HWND window : app.GetTopLevelWindows(true)) {
          char name[16] = "";
          GetClassNameA(window, name, sizeof name);
          // The caption as the system keeps it (InternalGetWindowText sends nothing).
          WCHAR caption[32] = L"";
          InternalGetWindowText(window, caption, 32);
          if (window != main && std::strcmp(name, "#32770") == 0 && std::wcscmp(caption, L"Converting Files") != 0) {
            *shown = window;
            return true;
          }
        }
        return !app.IsRunning();
      });
  return Seconds() - start;
}

int Finish(CDrivenProcess& app, HWND dialog, int button) {
  PressButton(dialog, button);
  DWORD code = 1;
  return app.WaitForExit(kUiWait, &code) && code == 0 ? 0 : 1;
}

int Multiple(const char* folder, const char* pattern) {
  CDrivenProcess app;
  HWND main = StartVelmora(app, folder);
  if (main == nullptr || !SetControlText(main, 1015, pattern)) {
    std::fprintf(stderr, "the main window did not come\n");
    return 1;
  }
  HWND results = nullptr;
  const double seconds = PressAndTime(app, main, 3, &results);
  if (results == nullptr || GetWindowTextOf(results) != "Convert Multiple Files") {
    std::fprintf(stderr, "no results dialog\n");
    return 1;
  }
  const std::string report = GetControlText(results, 1017);
  size_t lines = 0, errors = 0;
  for (size_t at = 0; (at = report.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
  for (size_t at = 0; (at = report.find("Error", at)) != std::string::npos; ++at) ++errors;
  std::printf("timed %.3f\nreport %zu lines, %zu errors\n", seconds, lines, errors);
  return Finish(app, results, IDCANCEL) | (errors != 0 ? 1 : 0);
}

int Clipboard(const char* input, const char* output) {
  std::string text;
  if (!ReadWholeFile(input, &text) || !PutClipboardText(text)) {
    std::fprintf(stderr, "cannot put %s on the clipboard\n", input);
    return 1;
  }
  text.clear();
  text.shrink_to_fit();
  CDrivenProcess app;
  HWND main = StartVelmora(app, "");
  if (main == nullptr) {
    std::fprintf(stderr, "the main window did not come\n");
    return 1;
  }
  HWND box = nullptr;
  const double seconds = PressAndTime(app, main, 1010, &box);
  if (box == nullptr || !IsMessageBox(box)) {
    std::fprintf(stderr, "no question box\n");
    return 1;
  }
  const std::string question = ReadMessageBox(box).text;
  std::printf("timed %.3f\nbox: %s\n", seconds, question.substr(0, question.find('\n')).c_str());
  std::string converted;
  if (!GetClipboardText(&converted) || !WriteWholeFile(output, converted)) {
    std::fprintf(stderr, "cannot read the clipboard back\n");
    return 1;
  }
  return Finish(app, box, IDNO);
}

int ExpandText(const char* input, const char* output) {
  std::string text;
  if (!ReadWholeFile(input, &text)) return 1;
  const TabStopList stops(8);
  const double start = Seconds();
  const ExpandedTextSize size = MeasureExpandedText(text.data(), text.size(), stops);
  std::unique_ptr<char[]> out(new char[size.m_nBytes + 1]);
  const size_t written = ExpandTextInto(text.data(), text.size(), stops, out.get(), size.m_nBytes);
  const double seconds = Seconds() - start;
  std::printf("timed %.3f\n%llu tabs converted\n", seconds, static_cast<unsigned long long>(size.m_nTabCount));
  return WriteWholeFile(output, std::string(out.get(), written)) ? 0 : 1;
}

// The peer of the one-file job: the system's own copy of the file, as a
// whole, on the same disk.
int Copy(const char* source, const char* target) {
  const double start = Seconds();
  if (!CopyFileA(source, target, FALSE)) return 1;
  std::printf("timed %.3f\n", Seconds() - start);
  return 0;
}

int ExpandUtf16(const char* input, const char* output) {
  std::string text;
  if (!ReadWholeFile(input, &text)) return 1;
  std::u16string units(text.begin(), text.end());  // the bench's text is ASCII
  text.clear();
  text.shrink_to_fit();
  const TabStopList stops(8);
  const double start = Seconds();
  const ExpandedTextSize size = MeasureExpandedUtf16(units.data(), units.size(), stops);
  const size_t count = static_cast<size_t>(size.m_nBytes / 2);
  std::unique_ptr<char16_t[]> out(new char16_t[count + 1]);
  const size_t written = ExpandUtf16Into(units.data(), units.size(), stops, out.get(), count);
  const double seconds = Seconds() - start;
  std::printf("timed %.3f\n%llu tabs converted\n", seconds, static_cast<unsigned long long>(size.m_nTabCount));
  std::string narrow(out.get(), out.get() + written);
  return WriteWholeFile(output, narrow) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "multiple") == 0) return Multiple(argv[2], argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "clipboard") == 0) return Clipboard(argv[2], argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "expand-text") == 0) return ExpandText(argv[2], argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "copy") == 0) return Copy(argv[2], argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "expand-utf16") == 0) return ExpandUtf16(argv[2], argv[3]);
  std::fprintf(stderr,
               "usage: commands_bench multiple FOLDER PATTERN\n"
               "       commands_bench clipboard INPUT OUTPUT\n"
               "       commands_bench expand-text INPUT OUTPUT\n"
               "       commands_bench expand-utf16 INPUT OUTPUT\n"
               "       commands_bench copy SOURCE TARGET\n");
  return 2;
}
