// The search pattern match: a '*' is tried only at the first occurrence of
// the character after it, and letters fall back to the other case.

#include <gtest/gtest.h>

#include "search/wildcard_match.h"

namespace qx {
namespace {

TEST(WildcardMatch, NoBacktrackingAndTheOtherCaseFallback) {
  const struct {
    const char* pattern;
    const char* text;
    bool case_sensitive;
    bool matches;
  } cases[] = {
      {"*invoice*", "big invoice", false, false},  // the first 'i' is in "big", never looked past
      {"*ab*", "xaxab", false, false},
      {"*def", "defxdef", false, false},
      {"a*a", "a", false, true},  // the next anchor is searched from where the compared part began
      {"ab*c", "abxcd", false, false},
      {"abc*", "xabc", false, false},
      {"**b", "a*b", false, true},  // a second '*' right after the first is a character
      {"**b", "ab", false, false},
      {"*Invoice*", "INVOICE", true, false},
      {"*Invoice*", "my invoice", true, false},  // the fallback runs, then the comparison fails
      {"*x*bc*", "BCx", false, true},  // the other case is searched from the start of the text
      {"*x*bc*", "BCx", true, false},
      {"*\xc3\xa9*", "caf\xc3\xa9", false, true},
      {"*\xc3\x89*", "caf\xc3\xa9", false, false},  // only ASCII letters fold
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MatchesSearchPattern(c.pattern, c.text, c.case_sensitive), c.matches)
        << c.pattern << " against " << c.text << (c.case_sensitive ? " with case" : "");
  }
}

}  // namespace
}  // namespace qx
