#include "message/date_text.h"

#include <cstdio>

#include "message/message_date.h"
#include "message/number_text.h"

namespace qx {

namespace {

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kTicksPerMillisecond = 10000;
constexpr int64_t kSecondsPerDay = 86400;
// Days from 1601-01-01 to 1970-01-01, and the same distance in ticks.
constexpr int64_t kDaysFrom1601To1970 = 134774;
constexpr int64_t kUnixEpochTicks = 116444736000000000LL;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's method).
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

void CivilFromDays(int64_t days, int64_t* year, int* month, int* day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t day_of_era = days - era * 146097;
  const int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t month_index = (5 * day_of_year + 2) / 153;
  *day = static_cast<int>(day_of_year - (153 * month_index + 2) / 5 + 1);
  *month = static_cast<int>(month_index < 10 ? month_index + 3 : month_index - 9);
  *year = year_of_era + era * 400 + (*month <= 2);
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

SystemTime FromUnixSeconds(int64_t seconds) {
  int64_t days = seconds / kSecondsPerDay;
  int64_t second_of_day = seconds % kSecondsPerDay;
  if (second_of_day < 0) {
    second_of_day += kSecondsPerDay;
    --days;
  }
  SystemTime time;
  int64_t year = 0;
  CivilFromDays(days, &year, &time.month, &time.day);
  time.year = static_cast<int>(year);
  time.day_of_week = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  time.hour = static_cast<int>(second_of_day / 3600);
  time.minute = static_cast<int>(second_of_day / 60 % 60);
  time.second = static_cast<int>(second_of_day % 60);
  return time;
}

struct ClampedFields {
  int month, day, hour, minute, second;
};

ClampedFields Clamp(const SystemTime& time) {
  return {(time.month < 1 || time.month > 12) ? 1 : time.month,
          (time.day < 1 || time.day > 31) ? 1 : time.day, time.hour > 24 ? 0 : time.hour,
          time.minute > 59 ? 0 : time.minute, time.second > 59 ? 0 : time.second};
}

std::string FormatClamped(const SystemTime& time, const char* format) {
  ClampedFields f = Clamp(time);
  char text[96];
  std::snprintf(text, sizeof text, format, time.year, f.month, f.day, f.hour, f.minute, f.second);
  return text;
}

int Within(int value, int low, int high, int fallback) {
  return value < low || value > high ? fallback : value;
}

}  // namespace

std::optional<SystemTime> SystemTimeFromFileTime(uint64_t file_time) {
  if (file_time >= 0x8000000000000000ULL) return std::nullopt;
  const int64_t ticks = static_cast<int64_t>(file_time);
  SystemTime time = FromUnixSeconds(ticks / kTicksPerSecond - kDaysFrom1601To1970 * kSecondsPerDay);
  time.milliseconds = static_cast<int>(ticks % kTicksPerSecond / kTicksPerMillisecond);
  return time;
}

std::optional<uint64_t> FileTimeFromSystemTime(const SystemTime& time) {
  if (time.year < 1601 || time.year > 30827 || time.month < 1 || time.month > 12 ||
      time.day < 1 || time.day > DaysInMonth(time.year, time.month) || time.hour < 0 ||
      time.hour > 23 || time.minute < 0 || time.minute > 59 || time.second < 0 ||
      time.second > 59 || time.milliseconds < 0 || time.milliseconds > 999) {
    return std::nullopt;
  }
  const int64_t days = DaysFromCivil(time.year, time.month, time.day) + kDaysFrom1601To1970;
  const int64_t seconds = days * kSecondsPerDay + time.hour * 3600 + time.minute * 60 + time.second;
  return static_cast<uint64_t>(seconds * kTicksPerSecond + time.milliseconds * kTicksPerMillisecond);
}

uint64_t ShiftFileTimeWholeSeconds(uint64_t file_time, int64_t seconds) {
  // Unsigned arithmetic wraps where the original's did, without undefined behaviour.
  const int64_t unix_seconds =
      static_cast<int64_t>(file_time - static_cast<uint64_t>(kUnixEpochTicks)) / kTicksPerSecond;
  const uint64_t shifted = static_cast<uint64_t>(unix_seconds) + static_cast<uint64_t>(seconds);
  return shifted * static_cast<uint64_t>(kTicksPerSecond) + static_cast<uint64_t>(kUnixEpochTicks);
}

std::string StoreDateTextFromSystemTime(const SystemTime& time) {
  return FormatClamped(time, "%4d-%02d-%02dT%02d:%02d:%02d");
}

std::optional<std::string> StoreDateTextFromFileTime(uint64_t file_time) {
  std::optional<SystemTime> time = SystemTimeFromFileTime(file_time);
  if (!time) return std::nullopt;
  return StoreDateTextFromSystemTime(*time);
}

std::string CompactDateTextFromSystemTime(const SystemTime& time) {
  return FormatClamped(time, "%4d%02d%02dT%02d%02d%02d");
}

std::optional<std::string> CompactDateTextFromFileTime(uint64_t file_time) {
  std::optional<SystemTime> time = SystemTimeFromFileTime(file_time);
  if (!time) return std::nullopt;
  return CompactDateTextFromSystemTime(*time);
}

std::optional<uint64_t> FileTimeFromStoreDateText(std::string_view text) {
  if (text.size() != 19) return std::nullopt;
  SystemTime time;
  time.year = LeadingInt32(text.substr(0, 4));
  time.month = LeadingInt32(text.substr(5, 2));
  time.day = LeadingInt32(text.substr(8, 2));
  time.hour = LeadingInt32(text.substr(11, 2));
  time.minute = LeadingInt32(text.substr(14, 2));
  time.second = LeadingInt32(text.substr(17, 2));
  return FileTimeFromSystemTime(time);
}

std::string DisplayDateFromUnixTime(int32_t seconds) {
  SystemTime t = FromUnixSeconds(seconds);
  char text[64];
  if (t.second != 0) {
    std::snprintf(text, sizeof text, "%02d:%02d:%02d %02d %s, %4d", t.hour, t.minute, t.second,
                  t.day, MonthName(t.month), t.year);
  } else {
    std::snprintf(text, sizeof text, "%02d:%02d %02d %s, %4d", t.hour, t.minute, t.day,
                  MonthName(t.month), t.year);
  }
  return text;
}

std::optional<std::string> StoreDateTextFromDisplayDate(std::string_view text) {
  size_t colon = text.find(':');
  size_t blank1 = text.find(' ', colon == std::string_view::npos ? 0 : colon);
  size_t blank2 = text.find(' ', blank1 == std::string_view::npos ? 0 : blank1 + 1);
  size_t comma = text.find(',', blank2 == std::string_view::npos ? 0 : blank2 + 1);
  if (colon == std::string_view::npos || blank1 == std::string_view::npos ||
      blank2 == std::string_view::npos || comma == std::string_view::npos) {
    return std::nullopt;
  }
  const int hour = Within(LeadingInt32(text.substr(0, colon)), 0, 24, 0);
  const int minute = Within(LeadingInt32(text.substr(colon + 1, blank1 - colon - 1)), 0, 59, 0);
  const int day = Within(LeadingInt32(text.substr(blank1 + 1, blank2 - blank1 - 1)), 1, 31, 1);
  const int month = MonthFromName(text.substr(blank2 + 1, comma - blank2 - 1));
  const int year = ExpandMessageYear(LeadingInt32(text.substr(comma + 1)));
  char out[96];
  std::snprintf(out, sizeof out, "%4d-%02d-%02dT%02d:%02d:%02d", year, month, day, hour, minute, 0);
  return std::string(out);
}

}  // namespace qx
