// The search pattern match: a '*' is tried only at the first occurrence of
// the character after it, and letters fall back to the other case.

#include <gtest/gtest.h>

#include "search/wildcard_match.h"

namespace qx {
namespace {

bool Matches(const char* pattern, const char* text, bool case_sensitive = false) {
  return MatchesSearchPattern(pattern, text, case_sensitive);
}

TEST(WildcardMatch, EachStarTriesOnlyTheFirstOccurrenceOfItsNextCharacter) {
  EXPECT_TRUE(Matches("*invoice*", "my invoice"));
  // The first 'i' is in "big", and the match never looks further.
  EXPECT_FALSE(Matches("*invoice*", "big invoice"));
  EXPECT_FALSE(Matches("*ab*", "xaxab"));
  EXPECT_TRUE(Matches("*ab*", "xabxa"));
  EXPECT_FALSE(Matches("*def", "defxdef"));
  EXPECT_TRUE(Matches("*def", "abcdef"));
  // The next anchor is searched from where the compared part began.
  EXPECT_TRUE(Matches("a*a", "a"));
  EXPECT_TRUE(Matches("ab*c", "abxc"));
  EXPECT_FALSE(Matches("ab*c", "abxcd"));
}

TEST(WildcardMatch, WholeTextAndEndsOfThePattern) {
  EXPECT_TRUE(Matches("Hello", "hello"));
  EXPECT_FALSE(Matches("Hello", "hello!"));
  EXPECT_FALSE(Matches("hello", "hell"));
  EXPECT_TRUE(Matches("abc*", "abcdef"));
  EXPECT_FALSE(Matches("abc*", "ab"));
  EXPECT_FALSE(Matches("abc*", "xabc"));
  EXPECT_TRUE(Matches("*", ""));
  EXPECT_TRUE(Matches("*", "anything"));
  EXPECT_TRUE(Matches("", ""));
  EXPECT_FALSE(Matches("", "x"));
  EXPECT_FALSE(Matches("*x", ""));
  // A second '*' right after the first is a character to look for.
  EXPECT_TRUE(Matches("**b", "a*b"));
  EXPECT_FALSE(Matches("**b", "ab"));
}

TEST(WildcardMatch, LetterCaseAndTheOtherCaseFallback) {
  EXPECT_TRUE(Matches("*Invoice*", "INVOICE"));
  EXPECT_TRUE(Matches("*invoice*", "THE INVOICE"));
  EXPECT_FALSE(Matches("*Invoice*", "INVOICE", true));
  EXPECT_TRUE(Matches("*Invoice*", "an Invoice", true));
  // The fallback runs even when comparing with case; the comparison then fails.
  EXPECT_FALSE(Matches("*Invoice*", "my invoice", true));
  // The other case is searched from the start of the text, so the position
  // may move back before text already passed.
  EXPECT_TRUE(Matches("*x*bc*", "BCx"));
  EXPECT_FALSE(Matches("*x*bc*", "BCx", true));
  // Only letters fall back, and only ASCII letters fold.
  EXPECT_FALSE(Matches("*1*", "abc"));
  EXPECT_TRUE(Matches("*\xc3\xa9*", "caf\xc3\xa9"));
  EXPECT_FALSE(Matches("*\xc3\x89*", "caf\xc3\xa9"));
  EXPECT_FALSE(Matches("[*", "{"));
}

}  // namespace
}  // namespace qx
