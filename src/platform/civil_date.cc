#include "platform/civil_date.h"

namespace qx::platform {

// The two conversions are H. Hinnant's algorithms, counted in 400-year eras
// from March, so that the leap day ends each year of the count.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
  const unsigned day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + static_cast<int64_t>(day_of_era) - 719468;
}

CivilDate CivilFromDays(int64_t days) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned day_of_era = static_cast<unsigned>(days - era * 146097);
  const unsigned year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const unsigned day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const unsigned mp = (5 * day_of_year + 2) / 153;
  const unsigned day = day_of_year - (153 * mp + 2) / 5 + 1;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<int64_t>(year_of_era) + era * 400 + (month <= 2), month, day};
}

unsigned WeekdayFromDays(int64_t days) {
  // 1970-01-01 was a Thursday.
  return static_cast<unsigned>(((days % 7) + 11) % 7);
}

bool IsLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

unsigned DaysInMonth(int64_t year, unsigned month) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

DayAndSecond SplitUnixSeconds(int64_t unix_seconds) {
  DayAndSecond split{unix_seconds / kSecondsPerDay, unix_seconds % kSecondsPerDay};
  if (split.second_of_day < 0) {
    split.second_of_day += kSecondsPerDay;
    --split.days;
  }
  return split;
}

}  // namespace qx::platform
