#pragma once
// The content search's pattern match: '*' is the only wildcard, and each
// '*' is tried at one place only, the first occurrence of the character
// that follows it. Searches therefore use patterns of the form "*word*".

#include <string_view>

namespace qx {

// True when `pattern` matches the whole of `text`.
//
// Walking the pattern: the part before each '*' must equal the text at the
// current position (over that part's length); then the position moves to
// the first occurrence, at or after the current position, of the character
// after the '*', found with case; when there is none and that character is
// a letter, to the first occurrence of the letter in the other case counted
// from the start of the text; when there is still none the match fails. A
// '*' that ends the pattern moves to the end of the text. After the last
// '*' the rest of the text must equal the rest of the pattern.
//
// Comparisons ignore ASCII letter case unless `case_sensitive`; the search
// for the character after a '*' is always done with case first.
bool MatchesSearchPattern(std::string_view pattern, std::string_view text, bool case_sensitive);

}  // namespace qx
