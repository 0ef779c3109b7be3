#include "engine/kept_formats.h"

#include "framework/ascii.h"

namespace {

bool EndsWith(const std::string& text, const char* end) {
  const std::string tail(end);
  return text.size() > tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

bool TabsArePartOfFormat(const std::string& name) {
  const size_t separator = name.find_last_of("\\/:");
  const std::string last = AsciiLower(separator == std::string::npos ? name : name.substr(separator + 1));
  if (last == "makefile" || last == "gnumakefile") return true;
  // An extension needs a name before it: ".mk" alone is a name, not a makefile.
  return EndsWith(last, ".mk") || EndsWith(last, ".mak") || EndsWith(last, ".tsv");
}
