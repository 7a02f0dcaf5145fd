#pragma once
// Case-insensitive comparisons of header text (ASCII letters only, as the
// original C runtime compared them in the "C" locale).

#include <cstddef>
#include <string_view>

namespace qx {

// True when `text` begins with `prefix`, without regard to case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// True when both are equal without regard to case.
bool EqualsNoCase(std::string_view a, std::string_view b);

// Position of the first case-insensitive occurrence of `pattern` in `text`,
// npos when there is none or the pattern is empty.
size_t FindNoCaseIn(std::string_view text, std::string_view pattern);

}  // namespace qx
