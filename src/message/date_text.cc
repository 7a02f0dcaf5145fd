#include "message/date_text.h"

#include <cstdio>

#include "message/message_date.h"
#include "frame/number_text.h"
#include "platform/civil_date.h"

namespace qx {

namespace {

constexpr int64_t kTicksPerSecond = static_cast<int64_t>(platform::kTicksPerSecond);
constexpr int64_t kTicksPerMillisecond = 10000;
constexpr int64_t kUnixEpochTicks = static_cast<int64_t>(platform::kUnixEpochAsFileTime);

SystemTime FromUnixSeconds(int64_t seconds) {
  const platform::DayAndSecond split = platform::SplitUnixSeconds(seconds);
  const platform::CivilDate date = platform::CivilFromDays(split.days);
  SystemTime time;
  time.year = static_cast<int>(date.year);
  time.month = static_cast<int>(date.month);
  time.day = static_cast<int>(date.day);
  time.day_of_week = static_cast<int>(platform::WeekdayFromDays(split.days));
  time.hour = static_cast<int>(split.second_of_day / 3600);
  time.minute = static_cast<int>(split.second_of_day / 60 % 60);
  time.second = static_cast<int>(split.second_of_day % 60);
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
  SystemTime time = FromUnixSeconds(ticks / kTicksPerSecond - platform::kSecondsFrom1601To1970);
  time.milliseconds = static_cast<int>(ticks % kTicksPerSecond / kTicksPerMillisecond);
  return time;
}

std::optional<uint64_t> FileTimeFromSystemTime(const SystemTime& time) {
  if (time.year < 1601 || time.year > 30827 || time.month < 1 || time.month > 12 ||
      time.day < 1 ||
      static_cast<unsigned>(time.day) > platform::DaysInMonth(time.year, time.month) ||
      time.hour < 0 || time.hour > 23 || time.minute < 0 || time.minute > 59 || time.second < 0 ||
      time.second > 59 || time.milliseconds < 0 || time.milliseconds > 999) {
    return std::nullopt;
  }
  const int64_t days =
      platform::DaysFromCivil(time.year, time.month, time.day) + platform::kDaysFrom1601To1970;
  const int64_t seconds =
      days * platform::kSecondsPerDay + time.hour * 3600 + time.minute * 60 + time.second;
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
