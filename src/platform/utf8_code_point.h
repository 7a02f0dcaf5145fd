#pragma once
// Reading UTF-8 one code point at a time, strictly: texts from files and
// command lines are checked before they go where only valid UTF-8 may
// (an XML name, a JSON string).

#include <string_view>

namespace qx::platform {

// The code point at text[*at], advancing *at past it; false, with *at left
// as it was, for bytes that are not valid UTF-8 (overlong forms and
// surrogates included).
bool NextUtf8CodePoint(std::string_view text, size_t* at, char32_t* c);

}  // namespace qx::platform
