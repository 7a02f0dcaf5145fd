#pragma once
// The Q-encoding the store applies to a text carrying 8-bit bytes before it
// writes the text into a message (a new body): one "=?UTF-8?Q?...?=" word.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

// Encodes `length` bytes into `out` (`capacity` bytes, NUL included): a byte
// below 32, from 127 up, or one of '=', '?' and '_' becomes '=' and two
// upper-case hexadecimal digits; every other byte, blanks included, is copied
// (blanks are not turned into '_'). 1 when everything was encoded; 0 when
// the next byte would pass the capacity (what fits is kept). `out` is always
// NUL-terminated when capacity is at least 1.
uint32_t QEncode(const unsigned char* bytes, size_t length, char* out, size_t capacity);

// `text` as it is when every byte is below 129, else "=?UTF-8?Q?" + the
// Q-encoded text + "?=". The threshold is 129, not 128: a text whose only
// high byte is 0x80 stays as it is; other programs rely on that. Long texts
// are not split into several encoded words.
std::string QEncodeWord(std::string_view text);

}  // namespace qx
