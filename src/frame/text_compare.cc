#include "frame/text_compare.h"

namespace qx {

namespace {
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (Upper(text[i]) != Upper(prefix[i])) return false;
  }
  return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithNoCase(a, b);
}

size_t FindNoCaseIn(std::string_view text, std::string_view pattern) {
  if (pattern.empty() || pattern.size() > text.size()) return std::string_view::npos;
  const char first = Upper(pattern[0]);
  for (size_t at = 0; at + pattern.size() <= text.size(); ++at) {
    if (Upper(text[at]) == first && StartsWithNoCase(text.substr(at), pattern)) return at;
  }
  return std::string_view::npos;
}

}  // namespace qx
