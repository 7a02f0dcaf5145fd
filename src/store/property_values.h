#pragma once
// Conversions between a property's stored form (text in the item's index
// entry, or a file time) and the value handed to or taken from a caller in
// the property's caller type (property_map.h). Values handed to callers are
// given as their bytes: a 32-bit number as 4 little-endian bytes, a double
// or FILETIME as 8, a text with its NUL, UTF-16 text with two NUL bytes. The
// byte count is the size callers are told.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

// The caller's value of a property whose stored text is `stored`:
//  - 7 integer: decimal reading as atol does it (leading white space, a
//    sign, digits up to the first other character; beyond 32 bits it stays
//    at the largest or smallest value);
//  - 9 double: floating reading (leading white space skipped);
//  - 10 boolean: 1 for "TRUE" in any case or "1", else 0;
//  - 12 sensitivity: "PUBLIC" 0, "PRIVATE" 2, "CONFIDENTIAL" 3 (any case),
//    else 0;
//  - 3 FILETIME: the stored text read as store date text of exactly 19
//    characters, as UTC; nothing when it is not one;
//  - 16 UTF-16: the text converted from UTF-8;
//  - 1, 4, 6, 8, 14, 15: the text as it is.
// Nothing for a caller type without a conversion.
std::optional<std::string> CallerBytesFromStored(std::string_view stored, uint32_t caller_type);

// The stored text of a value a caller hands over in `caller_type` (`value`
// points at it):
//  - 7: decimal; 9: "%10.2f" (so 42.5 is stored as "     42.50");
//  - 10: "1" for any nonzero value, else "0";
//  - 12: "PRIVATE" for 2, "CONFIDENTIAL" for 3, else "PUBLIC";
//  - 3: store date text of the FILETIME (UTC, whole seconds); nothing when
//    it cannot be converted;
//  - 16: NUL-terminated UTF-16LE converted to UTF-8;
//  - 1, 4, 6, 8, 14, 15: the NUL-terminated text as it is.
// Nothing for a null value or a caller type without a conversion.
std::optional<std::string> StoredTextFromCaller(const void* value, uint32_t caller_type);

// The caller's FILETIME value of a file time kept in `stored_type`: the time
// itself for FILETIME (3); for store date text (6) the time as that text
// holds it, so cut to whole seconds. Nothing when it cannot be converted.
std::optional<std::string> CallerBytesFromFileTime(uint64_t file_time, uint32_t stored_type);

// The 4 or 8 little-endian bytes of a number, as callers receive them.
std::string NumberBytes(int32_t value);
std::string FileTimeBytes(uint64_t file_time);

}  // namespace qx
