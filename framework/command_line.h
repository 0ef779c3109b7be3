#pragma once
// The command line: its tail, its split into arguments and the framework's
// parse of the arguments. No Windows calls here, so it builds for the host too.

#include <string>
#include <vector>

// What the arguments ask for.
class CCommandLineInfo {
 public:
  enum ShellCommand { FileNew, FileOpen, FilePrint, FilePrintTo, FileDDE, AppUnregister };

  virtual ~CCommandLineInfo() = default;

  // Takes one argument: `param` without its leading "/" or "-" when `isFlag`.
  virtual void ParseParam(const char* param, bool isFlag, bool isLast);

  ShellCommand m_nShellCommand = FileNew;
  std::string m_strFileName;
  std::string m_strPrinterName;
  std::string m_strDriverName;
  std::string m_strPortName;
  bool m_bRunEmbedded = false;
  bool m_bRunAutomated = false;

 protected:
  void ParseParamFlag(const char* param);
  void ParseParamNotFlag(const char* param);
  void ParseLast(bool isLast);
};

// The command line without the program's name: the name is a quoted string
// (up to and including the closing quote) or a run of characters above the
// blank; the blanks and control characters after it are skipped too. Nothing
// is trimmed at the end.
std::string CommandLineTail(const char* commandLine);

// Splits a command line into arguments by the C runtime's rules (blanks and
// tabs separate; quotes group; backslashes escape quotes only). The first
// element is the program's name.
std::vector<std::string> SplitCommandLine(const char* commandLine);

// Feeds every argument after the program's name to `info`, in order.
void ParseCommandLine(const char* commandLine, CCommandLineInfo& info);
