// The command-line tail and the framework's parse of the arguments.
#include "framework/command_line.h"

#include <gtest/gtest.h>

namespace {

struct TailCase {
  const char* commandLine;
  const char* tail;
};

TEST(CommandLineTail, DropsTheProgramNameAndTheBlanksAfterIt) {
  const TailCase cases[] = {
      {"Velmora.exe /install", "/install"},
      {"\"C:\\Program Files\\Orvane Zenvero\\Velmora.exe\" /installstep2", "/installstep2"},
      {"\"C:\\a b\\Velmora.exe\"/uninstall", "/uninstall"},  // no blank after the quote
      {"Velmora.exe \t  /install ", "/install "},             // nothing trimmed at the end
      {"Velmora.exe", ""},
      {"\"Velmora.exe\"", ""},
      {"\"unterminated name", ""},
      {"Velmora.exe /INSTALL", "/INSTALL"},
      {"Velmora.exe \"my file.txt\" x", "\"my file.txt\" x"},
      {"", ""},
  };
  for (const TailCase& c : cases) {
    EXPECT_EQ(c.tail, CommandLineTail(c.commandLine)) << c.commandLine;
  }
  EXPECT_EQ("", CommandLineTail(nullptr));
}

TEST(SplitCommandLine, FollowsTheCRuntimeRules) {
  using Args = std::vector<std::string>;
  EXPECT_EQ((Args{"prog", "a", "b"}), SplitCommandLine("prog a   b"));
  EXPECT_EQ((Args{"C:\\x y\\prog.exe", "my file.txt"}),
            SplitCommandLine("\"C:\\x y\\prog.exe\" \"my file.txt\""));
  EXPECT_EQ((Args{"prog", "C:\\dir\\"}), SplitCommandLine("prog C:\\dir\\"));
  EXPECT_EQ((Args{"prog", "a\"b"}), SplitCommandLine("prog a\\\"b"));          // \" is a quote
  EXPECT_EQ((Args{"prog", "a\\\\b c"}), SplitCommandLine("prog \"a\\\\b c\""));  // backslashes not before a quote stay
  EXPECT_EQ((Args{"prog", "a\\", "b"}), SplitCommandLine("prog \"a\\\\\" b"));
  EXPECT_EQ((Args{"prog", "say \"hi\""}), SplitCommandLine("prog \"say \"\"hi\"\"\""));
  EXPECT_EQ((Args{"prog", ""}), SplitCommandLine("prog \"\""));
  EXPECT_EQ((Args{"prog"}), SplitCommandLine("prog   "));
  EXPECT_EQ((Args{"prog", "tab\targ"}), SplitCommandLine("prog \"tab\targ\""));
}

struct ParseCase {
  const char* commandLine;
  CCommandLineInfo::ShellCommand command;
  const char* fileName;
};

TEST(ParseCommandLine, OnePlainArgumentOpensAFileAndSwitchesDecide) {
  using C = CCommandLineInfo;
  const ParseCase cases[] = {
      {"Velmora.exe", C::FileNew, ""},
      {"Velmora.exe notes.txt", C::FileOpen, "notes.txt"},
      {"Velmora.exe \"C:\\my notes\\a b.txt\"", C::FileOpen, "C:\\my notes\\a b.txt"},
      {"Velmora.exe C:\\my notes\\a b.txt", C::FileOpen, "C:\\my"},  // unquoted: first word
      {"Velmora.exe a.txt b.txt", C::FileOpen, "a.txt"},             // later ones dropped
      {"Velmora.exe /p a.txt", C::FilePrint, "a.txt"},
      {"Velmora.exe a.txt /p", C::FilePrint, "a.txt"},
      {"Velmora.exe -dde a.txt", C::FileDDE, "a.txt"},
      {"Velmora.exe /DDE a.txt", C::FileOpen, "a.txt"},  // case-sensitive
      {"Velmora.exe /P a.txt", C::FileOpen, "a.txt"},
      {"Velmora.exe /install", C::FileNew, ""},
      {"Velmora.exe /install a.txt", C::FileOpen, "a.txt"},
      {"Velmora.exe /unregserver", C::AppUnregister, ""},
      {"Velmora.exe -UNREGISTER a.txt", C::AppUnregister, "a.txt"},
      {"Velmora.exe / a.txt", C::FileOpen, "a.txt"},  // empty switch name: ignored
      {"Velmora.exe \"/p\" a.txt", C::FilePrint, "a.txt"},
  };
  for (const ParseCase& c : cases) {
    CCommandLineInfo info;
    ParseCommandLine(c.commandLine, info);
    EXPECT_EQ(c.command, info.m_nShellCommand) << c.commandLine;
    EXPECT_EQ(c.fileName, info.m_strFileName) << c.commandLine;
  }
}

TEST(ParseCommandLine, PrintToTakesPrinterDriverAndPort) {
  CCommandLineInfo info;
  ParseCommandLine("Velmora.exe /pt a.txt printer driver port extra", info);
  EXPECT_EQ(CCommandLineInfo::FilePrintTo, info.m_nShellCommand);
  EXPECT_EQ("a.txt", info.m_strFileName);
  EXPECT_EQ("printer", info.m_strPrinterName);
  EXPECT_EQ("driver", info.m_strDriverName);
  EXPECT_EQ("port", info.m_strPortName);

  CCommandLineInfo plain;
  ParseCommandLine("Velmora.exe a.txt printer", plain);
  EXPECT_EQ("", plain.m_strPrinterName);
}

TEST(ParseCommandLine, EmbeddingAndAutomationOnlySetTheirFlags) {
  CCommandLineInfo info;
  ParseCommandLine("Velmora.exe /embedding -AUTOMATION a.txt", info);
  EXPECT_TRUE(info.m_bRunEmbedded);
  EXPECT_TRUE(info.m_bRunAutomated);
  EXPECT_EQ(CCommandLineInfo::FileOpen, info.m_nShellCommand);
}

}  // namespace
