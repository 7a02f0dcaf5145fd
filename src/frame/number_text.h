#pragma once
// Decimal numbers inside header and index text, read the way the C runtime's
// atol read them: leading white space, an optional sign, then digits up to
// the first other character. Never fails; overflow saturates instead of
// wrapping, so hostile text cannot cause undefined behaviour.

#include <cstdint>
#include <optional>
#include <string_view>

namespace qx {

// The number at the start of `text`, 0 when there is none.
int64_t LeadingInteger(std::string_view text);

// LeadingInteger held to the 32-bit signed range.
int32_t LeadingInt32(std::string_view text);

// The digits at the start of `text` as an unsigned 32-bit value, as strtoul
// gave it on the original platform: no sign, saturating at 0xFFFFFFFF.
uint32_t LeadingUnsigned32(std::string_view text);

// The whole of `text` as an unsigned 32-bit number: digits only, white
// space around them allowed. Nothing for any other text, or a number above
// 0xFFFFFFFF, which would otherwise be read as a wrong value.
std::optional<uint32_t> WholeUnsigned32(std::string_view text);

}  // namespace qx
