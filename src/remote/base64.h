#pragma once
// Base64 of forwarded parameters: the standard alphabet with "=" padding and
// no line breaks.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

std::string Base64Encode(std::span<const uint8_t> bytes);

// The bytes of text. White space is skipped anywhere. "=" ends the data (one
// after three characters of a group, two after two) and only white space may
// follow it. nullopt for a character outside the alphabet, bad or missing
// padding, or more than max_output bytes of output.
std::optional<std::vector<uint8_t>> Base64Decode(std::string_view text, size_t max_output);

}  // namespace qx
