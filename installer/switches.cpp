#include "installer/switches.h"

#include <vector>

#include "framework/ascii.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The words of `text`, split at blanks outside quotes, quotes taken out.
// False for an unclosed quote.
bool SplitWords(const std::string& text, std::vector<std::string>& words) {
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i == text.size()) break;
    std::string word;
    bool quoted = false;
    for (; i < text.size() && (quoted || !IsBlank(text[i])); ++i) {
      if (text[i] == '"') {
        quoted = !quoted;
      } else {
        word += text[i];
      }
    }
    if (quoted) return false;
    words.push_back(word);
  }
  return true;
}

// The value of "/NAME=value" when `word` is that switch (any case) with a
// value that is not empty.
bool ValueSwitch(const std::string& word, const char* name, std::string& value) {
  const std::string prefix = std::string(name) + "=";
  if (word.size() <= prefix.size() || !EqualIgnoringAsciiCase(word.substr(0, prefix.size()), prefix))
    return false;
  value = word.substr(prefix.size());
  return true;
}

}  // namespace

bool ParseInstallSwitches(const std::string& text, CInstallSwitches& switches) {
  std::vector<std::string> words;
  if (!SplitWords(text, words)) return false;
  CInstallSwitches parsed = switches;
  bool verySilent = parsed.ui == InstallUi::kNone;
  for (const std::string& word : words) {
    std::string value;
    if (EqualIgnoringAsciiCase(word, "/VERYSILENT")) {
      verySilent = true;
      parsed.ui = InstallUi::kNone;
    } else if (EqualIgnoringAsciiCase(word, "/SILENT")) {
      if (!verySilent) parsed.ui = InstallUi::kProgressOnly;
    } else if (EqualIgnoringAsciiCase(word, "/CURRENTUSER")) {
      parsed.scope = InstallScope::kCurrentUser;
    } else if (EqualIgnoringAsciiCase(word, "/ALLUSERS")) {
      parsed.scope = InstallScope::kAllUsers;
    } else if (EqualIgnoringAsciiCase(word, "/NORESTART")) {
      parsed.noRestart = true;
    } else if (ValueSwitch(word, "/DIR", value)) {
      parsed.installFolder = value;
    } else if (ValueSwitch(word, "/LOG", value)) {
      parsed.log = value;
    } else {
      return false;
    }
    parsed.any = true;
  }
  switches = parsed;
  return true;
}

bool ParseModeWithSwitches(const std::string& tail, const std::string& mode,
                           CInstallSwitches& switches) {
  if (tail.compare(0, mode.size(), mode) != 0) return false;
  if (tail.size() == mode.size()) return true;
  if (!IsBlank(tail[mode.size()])) return false;
  return ParseInstallSwitches(tail.substr(mode.size()), switches);
}

std::string FormatInstallSwitches(const CInstallSwitches& switches) {
  std::string text;
  if (switches.ui == InstallUi::kNone) text += " /VERYSILENT";
  if (switches.ui == InstallUi::kProgressOnly) text += " /SILENT";
  if (switches.scope == InstallScope::kCurrentUser) text += " /CURRENTUSER";
  if (switches.scope == InstallScope::kAllUsers) text += " /ALLUSERS";
  if (switches.noRestart) text += " /NORESTART";
  if (!switches.installFolder.empty()) text += " /DIR=\"" + switches.installFolder + "\"";
  if (!switches.log.empty()) text += " /LOG=\"" + switches.log + "\"";
  return text;
}
