#include "framework/command_line.h"

#include <cstddef>

#include "framework/ascii.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

void CCommandLineInfo::ParseParam(const char* param, bool isFlag, bool isLast) {
  if (isFlag) {
    ParseParamFlag(param);
  } else {
    ParseParamNotFlag(param);
  }
  ParseLast(isLast);
}

void CCommandLineInfo::ParseParamFlag(const char* param) {
  const std::string name(param);
  if (name == "pt") {
    m_nShellCommand = FilePrintTo;
  } else if (name == "p") {
    m_nShellCommand = FilePrint;
  } else if (EqualIgnoringAsciiCase(param, "Unregister") || EqualIgnoringAsciiCase(param, "Unregserver")) {
    m_nShellCommand = AppUnregister;
  } else if (name == "dde") {
    m_nShellCommand = FileDDE;
  } else if (EqualIgnoringAsciiCase(param, "Embedding")) {
    m_bRunEmbedded = true;
  } else if (EqualIgnoringAsciiCase(param, "Automation")) {
    m_bRunAutomated = true;
  }
  // Any other switch (the installer's among them) is not the framework's.
}

void CCommandLineInfo::ParseParamNotFlag(const char* param) {
  if (m_strFileName.empty()) {
    m_strFileName = param;
  } else if (m_nShellCommand == FilePrintTo && m_strPrinterName.empty()) {
    m_strPrinterName = param;
  } else if (m_nShellCommand == FilePrintTo && m_strDriverName.empty()) {
    m_strDriverName = param;
  } else if (m_nShellCommand == FilePrintTo && m_strPortName.empty()) {
    m_strPortName = param;
  }
}

void CCommandLineInfo::ParseLast(bool isLast) {
  if (isLast && m_nShellCommand == FileNew && !m_strFileName.empty()) {
    m_nShellCommand = FileOpen;
  }
}

std::string CommandLineTail(const char* commandLine) {
  if (commandLine == nullptr) return std::string();
  const unsigned char* p = reinterpret_cast<const unsigned char*>(commandLine);
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p > ' ') ++p;
  }
  while (*p != '\0' && *p <= ' ') ++p;
  return std::string(reinterpret_cast<const char*>(p));
}

std::vector<std::string> SplitCommandLine(const char* commandLine) {
  std::vector<std::string> args;
  if (commandLine == nullptr) return args;
  const char* p = commandLine;

  // The program's name: quoted up to the next quote, else up to a blank;
  // backslashes are plain characters here.
  std::string name;
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') name += *p++;
    if (*p == '"') ++p;
  } else {
    while (*p != '\0' && !IsBlank(*p)) name += *p++;
  }
  args.push_back(name);

  for (;;) {
    while (IsBlank(*p)) ++p;
    if (*p == '\0') break;
    std::string arg;
    bool inQuotes = false;
    while (*p != '\0' && (inQuotes || !IsBlank(*p))) {
      std::size_t slashes = 0;
      while (*p == '\\') {
        ++slashes;
        ++p;
      }
      if (*p == '"') {
        // 2n backslashes and a quote: n backslashes, the quote toggles;
        // 2n+1: n backslashes and a literal quote.
        arg.append(slashes / 2, '\\');
        if (slashes % 2 == 1) {
          arg += '"';
        } else if (inQuotes && p[1] == '"') {
          arg += '"';  // "" inside quotes is one literal quote
          ++p;
        } else {
          inQuotes = !inQuotes;
        }
        ++p;
      } else {
        arg.append(slashes, '\\');
        if (*p != '\0' && (inQuotes || !IsBlank(*p))) arg += *p++;
      }
    }
    args.push_back(arg);
  }
  return args;
}

void ParseCommandLine(const char* commandLine, CCommandLineInfo& info) {
  std::vector<std::string> args = SplitCommandLine(commandLine);
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool isFlag = !arg.empty() && (arg[0] == '/' || arg[0] == '-');
    const bool isLast = i + 1 == args.size();
    info.ParseParam(isFlag ? arg.c_str() + 1 : arg.c_str(), isFlag, isLast);
  }
}
