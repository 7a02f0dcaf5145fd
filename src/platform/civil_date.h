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
// Inline, with the two below: every date a calendar walk reads goes
// through them.
inline int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
  // H. Hinnant's algorithm, counted in 400-year eras from March, so that
  // the leap day ends each year of the count (CivilFromDays is its inverse).
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
  const unsigned day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + static_cast<int64_t>(day_of_era) - 719468;
}

// The date `days` after 1970-01-01 (before it when negative).
CivilDate CivilFromDays(int64_t days);

// The weekday of the day `days` after 1970-01-01: 0 Sunday to 6 Saturday.
unsigned WeekdayFromDays(int64_t days);

inline bool IsLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// 28 to 31; `month` must be 1 to 12.
inline unsigned DaysInMonth(int64_t year, unsigned month) {
  constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Seconds since 1970 split into whole days (rounded down, so a time before
// 1970 lies in a negative day) and the second of that day (0 to 86399).
struct DayAndSecond {
  int64_t days = 0;
  int64_t second_of_day = 0;
};
DayAndSecond SplitUnixSeconds(int64_t unix_seconds);

}  // namespace qx::platform
