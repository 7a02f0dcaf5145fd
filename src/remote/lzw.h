#pragma once
// The library's own LZW variant, the compression of forwarded parameter
// records. Both ends of a forwarded call must code exactly alike, so its
// quirks are fixed: 16-bit codes written low byte first and nothing else (no
// header, no clear or end code); the dictionary starts with the 256 single
// bytes, grows by one entry per code written until it holds 1023 entries and
// is never reset; strings hold at most 63 bytes.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qx {

inline constexpr size_t kLzwDictionaryLimit = 1023;
// A string of this length is not extended further, so entries stay within 63.
inline constexpr size_t kLzwLongestExtended = 62;

// The code stream of input: at most 2 * input.size() bytes, empty for empty
// input. Where the dictionary holds equal strings the lowest code is used.
std::vector<uint8_t> LzwCompress(std::span<const uint8_t> input);

// Decodes a code stream into out and returns the bytes written, never more
// than out.size(); decoding stops once out is full. A trailing odd byte is
// ignored. Codes at or beyond the dictionary's size take the branch of the
// code that is about to be defined (the previous string plus its own first
// byte); a first code that is not a single byte yields nothing. Code 0xFFFF
// traces "Something wrong".
size_t LzwDecompress(std::span<const uint8_t> codes, std::span<uint8_t> out);

}  // namespace qx
