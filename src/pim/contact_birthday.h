#pragma once
// A contact's birthday: held in the index as date text
// "%4d-%02d-%02dT%02d:%02d:%02d" (UTC) in BDAY, handed to callers as a
// FILETIME. A contact without a birthday has an empty BDAY, which callers
// see as 2038-01-19 03:14:07 UTC (the largest 32-bit Unix time), the
// store's marker for "no date"; writing that time back empties BDAY again.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

inline constexpr int64_t kNoDateUnixSeconds = 2147483647;
// The marker as a FILETIME.
inline constexpr uint64_t kNoBirthdayFileTime =
    (static_cast<uint64_t>(kNoDateUnixSeconds) + 11644473600ULL) * 10000000ULL;

// The FILETIME of a stored BDAY: the marker for an empty text, the time of
// a date text of exactly 19 characters read as UTC; nothing for anything
// else (a vCard's own "1987-03-15" included).
std::optional<uint64_t> BirthdayFileTime(std::string_view stored);

// The BDAY text of a FILETIME: empty for the marker's second, else the date
// text (fields out of range, for a time that has no date, print as month 1,
// day 1, hour, minute and second 0).
std::string BirthdayText(uint64_t file_time);

}  // namespace qx
