#include "platform/civil_date.h"

namespace qx::platform {

// The inverse of DaysFromCivil, by the same algorithm.
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

DayAndSecond SplitUnixSeconds(int64_t unix_seconds) {
  DayAndSecond split{unix_seconds / kSecondsPerDay, unix_seconds % kSecondsPerDay};
  if (split.second_of_day < 0) {
    split.second_of_day += kSecondsPerDay;
    --split.days;
  }
  return split;
}

}  // namespace qx::platform
