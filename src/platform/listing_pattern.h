#pragma once
// A listing's name pattern, translated once and matched against each name a
// directory gives.

#include <string>
#include <string_view>
#include <vector>

namespace qx::platform {

// The original wildcard rules, without regard to case: '*' and '?', "*.*"
// matches every name, "*." matches names without an extension (and "." and
// ".."), "*.MAI" matches "a.mai". A '?' also matches nothing at a dot or at
// the end of the name, so "a?" matches "a".
bool WildcardMatch(std::string_view pattern, std::string_view name);

// WildcardMatch(pattern, name) for many names. The patterns the store lists
// most ("*", "*.*" and "*.EXT") are matched without the general search.
class ListingPattern {
 public:
  explicit ListingPattern(std::string_view pattern);

  // Not const: the general search keeps its table between names.
  bool Matches(std::string_view name);

 private:
  // The original translated a pattern into these before matching: '?'
  // always becomes kDosQuestion, '*' before a '.' becomes kDosStar, and a
  // '.' before '?', '*' or the end becomes kDosDot.
  enum class Kind : char { kLiteral, kStar, kDosStar, kDosQuestion, kDosDot };
  struct Token {
    Kind kind;
    char folded;
  };
  enum class Shape { kGeneral, kEveryName, kExtension };

  bool MatchesFrom(size_t token, size_t at);
  bool Compute(size_t token, size_t at);

  Shape shape_ = Shape::kGeneral;
  std::string extension_;  // for kExtension: ".EXT"
  std::vector<Token> tokens_;
  // For the general search: the name being matched, its last dot, and
  // whether token t matches from position p (-1 not known yet).
  std::string_view name_;
  size_t last_dot_ = 0;
  std::vector<signed char> memo_;
};

}  // namespace qx::platform
