#include "pim/ical_date_time.h"


#include "platform/civil_date.h"
#include "platform/text_compare.h"

namespace qx {

namespace {

using platform::kTicksPerSecond;

// FILETIME counts from 1601; SYSTEMTIME stops at 30827.
constexpr int64_t kFirstYear = 1601;
constexpr int64_t kLastYear = 30827;

// The digits at `at`, at most `count` of them, read as the C runtime's atoi
// read a field copied out on its own: up to the first other character.
unsigned DigitsAt(std::string_view text, size_t at, size_t count) {
  unsigned value = 0;
  for (size_t i = at; i < text.size() && i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') break;
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
  }
  return value;
}

constexpr size_t kTextLimit = 127;

// "2011-03-15T09:30:00" becomes "20110315T093000", in `out` (kTextLimit
// bytes); its length.
size_t BasicForm(std::string_view text, char* out) {
  size_t length = 0;
  int dashes = 0;
  for (char c : text) {
    if (c == '-' && dashes < 2) {
      ++dashes;
      continue;
    }
    if (c != ':') out[length++] = c;
  }
  return length;
}

}  // namespace

bool FileTimeOfCivil(const CivilTime& time, uint64_t* file_time) {
  if (time.year < kFirstYear || time.year > kLastYear || time.month < 1 || time.month > 12) return false;
  if (time.day < 1 || time.day > platform::DaysInMonth(time.year, time.month)) return false;
  if (time.hour > 23 || time.minute > 59 || time.second > 59) return false;
  const int64_t days = platform::DaysFromCivil(time.year, time.month, time.day) +
                       platform::kDaysFrom1601To1970;
  const int64_t seconds = days * platform::kSecondsPerDay + time.hour * 3600 + time.minute * 60 +
                          time.second;
  *file_time = static_cast<uint64_t>(seconds) * kTicksPerSecond;
  return true;
}

std::optional<uint64_t> FileTimeFromCivil(const CivilTime& time) {
  uint64_t file_time = 0;
  if (!FileTimeOfCivil(time, &file_time)) return std::nullopt;
  return file_time;
}

CivilTime CivilFromFileTime(uint64_t file_time) {
  const int64_t unix_seconds =
      static_cast<int64_t>(file_time / kTicksPerSecond) - platform::kSecondsFrom1601To1970;
  const platform::DayAndSecond split = platform::SplitUnixSeconds(unix_seconds);
  const platform::CivilDate date = platform::CivilFromDays(split.days);
  CivilTime time;
  time.year = date.year;
  time.month = date.month;
  time.day = date.day;
  time.weekday = platform::WeekdayFromDays(split.days);
  time.hour = static_cast<unsigned>(split.second_of_day / 3600);
  time.minute = static_cast<unsigned>(split.second_of_day / 60 % 60);
  time.second = static_cast<unsigned>(split.second_of_day % 60);
  return time;
}

int64_t UtcOffsetSeconds(std::string_view offset_text) {
  if (platform::EqualsNoCase(offset_text, "GMT")) return 0;
  int64_t sign = 1;
  std::string_view digits = offset_text;
  if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
    sign = digits[0] == '-' ? -1 : 1;
    digits.remove_prefix(1);
  }
  size_t count = 0;
  while (count < digits.size() && digits[count] >= '0' && digits[count] <= '9') ++count;
  // The minutes (and seconds) of an offset are kept, not just its whole
  // hours: in Kolkata (+0530), Adelaide (+0930) or St John's (-0330) an
  // event read with whole hours alone would be half an hour off.
  if (count >= 4) {
    const int64_t seconds = DigitsAt(digits, 0, 2) * 3600 + DigitsAt(digits, 2, 2) * 60 +
                            (count >= 6 ? DigitsAt(digits, 4, 2) : 0);
    return sign * seconds;
  }
  return sign * (DigitsAt(digits, 0, count) / 100) * 3600;
}

namespace {

bool AllDigits(std::string_view text, size_t at, size_t count) {
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

// "20110315T093000" or "20110315T093000Z", the form nearly every calendar
// program writes: its fields read straight, with nothing to search for.
// False when `text` has another form.
bool ReadBasicUtcOrLocal(std::string_view text, CivilTime* time) {
  const bool utc = text.size() == 16 && (text[15] == 'Z' || text[15] == 'z');
  if ((text.size() != 15 && !utc) || text[8] == '+' || text[8] == '-' || !AllDigits(text, 0, 8) ||
      !AllDigits(text, 9, 6)) {
    return false;
  }
  const auto digit = [text](size_t at) { return static_cast<unsigned>(text[at] - '0'); };
  time->year = digit(0) * 1000 + digit(1) * 100 + digit(2) * 10 + digit(3);
  time->month = digit(4) * 10 + digit(5);
  time->day = digit(6) * 10 + digit(7);
  time->hour = digit(9) * 10 + digit(10);
  time->minute = digit(11) * 10 + digit(12);
  time->second = digit(13) * 10 + digit(14);
  return true;
}

}  // namespace

std::optional<uint64_t> ICal_ParseDateTime(std::string_view text, std::string_view offset_text) {
  uint64_t file_time = 0;
  if (!ICal_ReadDateTime(text, offset_text, &file_time)) return std::nullopt;
  return file_time;
}

bool ICal_ReadDateTime(std::string_view text, std::string_view offset_text, uint64_t* file_time) {
  if (CivilTime basic_time; offset_text.empty() && ReadBasicUtcOrLocal(text, &basic_time)) {
    return FileTimeOfCivil(basic_time, file_time);
  }
  text = text.substr(0, kTextLimit);
  char buffer[kTextLimit];
  const std::string_view basic =
      text.size() >= 5 && text[4] == '-' ? std::string_view(buffer, BasicForm(text, buffer)) : text;
  if (basic.size() < 8) return false;
  CivilTime time;
  std::string_view offset = offset_text;
  if (basic.size() > 9) {
    time.hour = DigitsAt(basic, 9, 2);
    time.minute = DigitsAt(basic, 11, 2);
    time.second = DigitsAt(basic, 13, 2);
    if (offset.empty()) {
      size_t sign = basic.find('+');
      if (sign == std::string_view::npos) sign = basic.find('-');
      if (sign != std::string_view::npos && basic.size() - sign <= 5) offset = basic.substr(sign);
    }
  }
  time.year = DigitsAt(basic, 0, 4);
  time.month = DigitsAt(basic, 4, 2);
  time.day = DigitsAt(basic, 6, 2);
  uint64_t local = 0;
  if (!FileTimeOfCivil(time, &local)) return false;
  if (offset.empty()) {
    *file_time = local;
    return true;
  }
  const int64_t shift = UtcOffsetSeconds(offset) * static_cast<int64_t>(kTicksPerSecond);
  const int64_t utc = static_cast<int64_t>(local) - shift;
  if (utc < 0) return false;
  *file_time = static_cast<uint64_t>(utc);
  return true;
}

unsigned NthWeekdayOfMonth(int64_t year, unsigned month, unsigned weekday, int32_t instance) {
  if (month < 1 || month > 12) return 0;
  const unsigned first = platform::WeekdayFromDays(platform::DaysFromCivil(year, month, 1));
  unsigned found = 0;
  int32_t count = 0;
  for (unsigned day = 1; day <= platform::DaysInMonth(year, month); ++day) {
    if ((first + day - 1) % 7 != weekday) continue;
    found = day;
    if (++count == instance) break;
  }
  return found;
}

}  // namespace qx
