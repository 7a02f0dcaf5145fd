#pragma once
// Calendar arithmetic on the proleptic Gregorian calendar in UTC, and the
// distances between the epochs the system counts from: FILETIME (100 ns
// ticks since 1601-01-01) and Unix time (seconds since 1970-01-01). No time
// zone is involved; local time is local_time.h.

#include <cstdint>

namespace qx::platform {

inline constexpr int64_t kSecondsPerDay = 86400;
inline constexpr uint64_t kTicksPerSecond = 10000000ULL;
inline constexpr int64_t kDaysFrom1601To1970 = 134774;
inline constexpr int64_t kSecondsFrom1601To1970 = kDaysFrom1601To1970 * kSecondsPerDay;
// 1970-01-01 00:00 UTC as a FILETIME.
inline constexpr uint64_t kUnixEpochAsFileTime =
    static_cast<uint64_t>(kSecondsFrom1601To1970) * kTicksPerSecond;

// A day of the calendar: month 1 to 12, day 1 to 31.
struct CivilDate {
  int64_t year = 1970;
  unsigned month = 1;
  unsigned day = 1;
};

// Days since 1970-01-01 of a date (negative before it). The fields are not
// checked: a day past the month's end counts on into the next month.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day);

// The date `days` after 1970-01-01 (before it when negative).
CivilDate CivilFromDays(int64_t days);

// The weekday of the day `days` after 1970-01-01: 0 Sunday to 6 Saturday.
unsigned WeekdayFromDays(int64_t days);

bool IsLeapYear(int64_t year);

// 28 to 31; `month` must be 1 to 12.
unsigned DaysInMonth(int64_t year, unsigned month);

// Seconds since 1970 split into whole days (rounded down, so a time before
// 1970 lies in a negative day) and the second of that day (0 to 86399).
struct DayAndSecond {
  int64_t days = 0;
  int64_t second_of_day = 0;
};
DayAndSecond SplitUnixSeconds(int64_t unix_seconds);

}  // namespace qx::platform
