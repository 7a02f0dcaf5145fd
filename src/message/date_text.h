#pragma once
// The date text forms of the store besides message dates: store date text
// ("%Y-%m-%dT%H:%M:%S") and its compact form from FILETIME values, the way
// back, the short display form of the calendar, and whole-second shifts.
// FILETIME values are 100 ns ticks since 1601-01-01 UTC in one 64-bit number.
// All of it is arithmetic on UTC fields; no local time is involved.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

// Broken-down UTC time as the original SYSTEMTIME held it; month 1 to 12,
// day_of_week 0 (Sunday) to 6.
struct SystemTime {
  int year = 0;
  int month = 0;
  int day_of_week = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int milliseconds = 0;
};

// Nothing for FILETIME values of 2^63 and above, which the original refused.
std::optional<SystemTime> SystemTimeFromFileTime(uint64_t file_time);

// Nothing for fields out of range (month 1-12, a day the month has, hour
// below 24, minute and second below 60, milliseconds below 1000) or a year
// outside 1601 to 30827.
std::optional<uint64_t> FileTimeFromSystemTime(const SystemTime& time);

// `file_time` cut to whole seconds since 1970 (toward zero), plus `seconds`.
uint64_t ShiftFileTimeWholeSeconds(uint64_t file_time, int64_t seconds);

// "%4d-%02d-%02dT%02d:%02d:%02d" of the fields; a month outside 1-12 or a
// day outside 1-31 prints 1, an hour over 24 or a minute or second over 59
// prints 0.
std::string StoreDateTextFromSystemTime(const SystemTime& time);
// The same for a FILETIME; nothing when it cannot be converted.
std::optional<std::string> StoreDateTextFromFileTime(uint64_t file_time);

// "%4d%02d%02dT%02d%02d%02d" with the same clamping.
std::string CompactDateTextFromSystemTime(const SystemTime& time);
std::optional<std::string> CompactDateTextFromFileTime(uint64_t file_time);

// Store date text of exactly 19 characters to a FILETIME (milliseconds 0).
// Any other length, or fields that make no date, give nothing.
std::optional<uint64_t> FileTimeFromStoreDateText(std::string_view text);

// Seconds since 1970 taken as UTC, as the calendar shows them:
// "%02d:%02d:%02d %02d %s, %4d" (hour, minute, second, day, month name,
// year), or "%02d:%02d %02d %s, %4d" when the second is 0.
std::string DisplayDateFromUnixTime(int32_t seconds);

// The short display form "HH:MM DD Mon, YYYY" to store date text with
// second 0; month names and the year rule as in message dates. Nothing when
// a delimiter is missing.
std::optional<std::string> StoreDateTextFromDisplayDate(std::string_view text);

}  // namespace qx
