#include "search/wildcard_match.h"

#include <cstring>

#include "platform/text_compare.h"

namespace qx {
namespace {

constexpr size_t kNotFound = std::string_view::npos;

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

char OtherCase(char c) { return static_cast<char>(c ^ 0x20); }

bool EqualText(std::string_view a, std::string_view b, bool case_sensitive) {
  return case_sensitive ? a == b : platform::EqualsNoCase(a, b);
}

size_t FindChar(std::string_view text, char c, size_t from) {
  if (from >= text.size()) return kNotFound;
  const auto* found =
      static_cast<const char*>(std::memchr(text.data() + from, c, text.size() - from));
  return found == nullptr ? kNotFound : static_cast<size_t>(found - text.data());
}

// Where the search resumes for the character after a '*'. The fallback to
// the other letter case starts again at the beginning of the text and so
// may move backwards: a deliberate quirk that callers' results depend on.
size_t NextAnchor(std::string_view text, char c, size_t from) {
  const size_t found = FindChar(text, c, from);
  if (found != kNotFound || !IsAsciiLetter(c)) return found;
  return FindChar(text, OtherCase(c), 0);
}

}  // namespace

bool MatchesSearchPattern(std::string_view pattern, std::string_view text, bool case_sensitive) {
  size_t position = 0;
  for (size_t star = pattern.find('*'); star != kNotFound; star = pattern.find('*')) {
    const std::string_view before = pattern.substr(0, star);
    if (text.size() - position < before.size() ||
        !EqualText(before, text.substr(position, before.size()), case_sensitive)) {
      return false;
    }
    pattern.remove_prefix(star + 1);
    // Deliberately no backtracking: other programs rely on these results.
    // The position stays where the compared part began, so the next anchor
    // may be found inside it ("a*a" matches "a").
    if (pattern.empty()) {
      position = text.size();
      break;
    }
    position = NextAnchor(text, pattern.front(), position);
    if (position == kNotFound) return false;
  }
  return EqualText(text.substr(position), pattern, case_sensitive);
}

}  // namespace qx
