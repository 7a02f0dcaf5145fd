#include "platform/listing_pattern.h"

#include "platform/text_compare.h"

namespace qx::platform {
namespace {

constexpr signed char kUnknown = -1;

bool HasPatternCharacters(std::string_view text) { return text.find_first_of("*?.") != std::string_view::npos; }

}  // namespace

ListingPattern::ListingPattern(std::string_view pattern) {
  // '*' takes any run of characters and "*.*" every name, a dot included.
  if (pattern == "*" || pattern == "*.*") {
    shape_ = Shape::kEveryName;
    return;
  }
  // "*.EXT" takes a name whose last dot starts ".EXT": the star may not take
  // the last dot, and EXT holds none.
  if (pattern.size() > 2 && pattern.starts_with("*.") && !HasPatternCharacters(pattern.substr(2))) {
    shape_ = Shape::kExtension;
    extension_ = pattern.substr(1);
    return;
  }
  tokens_.reserve(pattern.size());
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    if (c == '?') {
      tokens_.push_back({Kind::kDosQuestion, c});
    } else if (c == '*') {
      tokens_.push_back({next == '.' ? Kind::kDosStar : Kind::kStar, c});
    } else if (c == '.' && (next == '?' || next == '*' || i + 1 == pattern.size())) {
      tokens_.push_back({Kind::kDosDot, c});
    } else {
      tokens_.push_back({Kind::kLiteral, UpperAscii(c)});
    }
  }
}

bool ListingPattern::Matches(std::string_view name) {
  switch (shape_) {
    case Shape::kEveryName:
      return true;
    case Shape::kExtension:
      return EndsWithNoCase(name, extension_);
    case Shape::kGeneral:
      break;
  }
  name_ = name;
  last_dot_ = name.rfind('.');
  memo_.assign((tokens_.size() + 1) * (name.size() + 1), kUnknown);
  return MatchesFrom(0, 0);
}

bool ListingPattern::MatchesFrom(size_t token, size_t at) {
  signed char& known = memo_[token * (name_.size() + 1) + at];
  if (known == kUnknown) known = Compute(token, at) ? 1 : 0;
  return known == 1;
}

bool ListingPattern::Compute(size_t token, size_t at) {
  if (token == tokens_.size()) return at == name_.size();
  const Token& t = tokens_[token];
  const bool at_end = at == name_.size();
  switch (t.kind) {
    case Kind::kLiteral:
      return !at_end && UpperAscii(name_[at]) == t.folded && MatchesFrom(token + 1, at + 1);
    case Kind::kStar:
      for (size_t end = at; end <= name_.size(); ++end) {
        if (MatchesFrom(token + 1, end)) return true;
      }
      return false;
    case Kind::kDosStar: {
      // Any run of characters that does not swallow the name's last dot.
      const bool before_last_dot = last_dot_ != std::string_view::npos && at <= last_dot_;
      const size_t limit = before_last_dot ? last_dot_ : name_.size();
      for (size_t end = at; end <= limit; ++end) {
        if (MatchesFrom(token + 1, end)) return true;
      }
      return false;
    }
    case Kind::kDosQuestion:
      if (at_end || name_[at] == '.') return MatchesFrom(token + 1, at);
      return MatchesFrom(token + 1, at + 1);
    case Kind::kDosDot:
      if (at_end) return MatchesFrom(token + 1, at);
      return name_[at] == '.' && MatchesFrom(token + 1, at + 1);
  }
  return false;
}

bool WildcardMatch(std::string_view pattern, std::string_view name) { return ListingPattern(pattern).Matches(name); }

}  // namespace qx::platform
