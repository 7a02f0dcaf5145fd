#pragma once
// Comparing text without regard to case, the one way the whole system does
// it: ASCII letters only, as the original C runtime compared them in the "C"
// locale and as its file system compared names. Every other byte (UTF-8
// sequences included) must match exactly. Registry names, file names,
// header names, flag words and program names all compare this way.
//
// Header-only and free of state, so that the sibling libraries can use it
// without linking the platform layer.

#include <cstddef>
#include <string>
#include <string_view>

namespace qx::platform {

// The byte compared for `c`: ASCII letters in upper case, anything else as
// it is.
constexpr char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
// ASCII letters in lower case, anything else as it is.
constexpr char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

constexpr bool SameNoCase(char a, char b) { return UpperAscii(a) == UpperAscii(b); }

// True when `text` begins with `prefix`, without regard to case.
constexpr bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (!SameNoCase(text[i], prefix[i])) return false;
  }
  return true;
}

// True when `text` ends with `suffix`, without regard to case.
constexpr bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         StartsWithNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// True when both are equal without regard to case.
constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithNoCase(a, b);
}

// Position of the first case-insensitive occurrence of `pattern` in `text`,
// npos when there is none or the pattern is empty.
constexpr size_t FindNoCaseIn(std::string_view text, std::string_view pattern) {
  constexpr size_t npos = std::string_view::npos;
  if (pattern.empty() || pattern.size() > text.size()) return npos;
  // Candidates are found by byte searches for the first byte in each case.
  const char upper = UpperAscii(pattern[0]);
  const char lower = LowerAscii(pattern[0]);
  const size_t last = text.size() - pattern.size();
  size_t next_upper = text.find(upper);
  size_t next_lower = lower == upper ? npos : text.find(lower);
  for (;;) {
    const size_t at = next_upper < next_lower ? next_upper : next_lower;
    if (at == npos || at > last) return npos;
    if (StartsWithNoCase(text.substr(at), pattern)) return at;
    if (at == next_upper) {
      next_upper = text.find(upper, at + 1);
    } else {
      next_lower = text.find(lower, at + 1);
    }
  }
}

// The text with every ASCII letter in upper (lower) case.
inline std::string UpperCased(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = UpperAscii(c);
  return folded;
}
inline std::string LowerCased(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = LowerAscii(c);
  return folded;
}

}  // namespace qx::platform
