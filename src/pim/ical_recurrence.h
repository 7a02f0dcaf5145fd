#pragma once
// RRULE values ("FREQ=MONTHLY;BYDAY=2TU;COUNT=10") read into the
// recurrence record the appointment interface hands out.

#include <cstdint>
#include <string_view>

#include "pim/ical_date_time.h"

namespace qx {

enum RecurrenceType : int32_t {
  kRecursDaily = 0,
  kRecursWeekly = 1,
  kRecursMonthly = 2,         // on a day of the month
  kRecursMonthlyNth = 3,      // on the n-th weekday of the month
  kRecursYearly = 5,          // on a date
  kRecursYearlyNth = 6,       // on the n-th weekday of a month
};

// Day-of-week mask bits: SU 1, MO 2, TU 4, WE 8, TH 16, FR 32, SA 64 (so
// Monday to Friday is 62).
inline constexpr int32_t kWorkdayMask = 62;

struct RecurrenceRecord {
  int32_t type = kRecursDaily;
  int32_t interval = 1;
  int32_t occurrences = 0;       // COUNT
  int32_t instance = 0;          // the n of the n-th weekday; -1 the last
  int32_t day_of_week_mask = 0;
  int32_t day_of_month = 0;
  int32_t month_of_year = 0;
  int32_t week_start = 0;        // WKST as a day mask
  int32_t has_end = 0;           // 1 with UNTIL, or COUNT above 0
  uint64_t end_date = 0;         // UNTIL as a FILETIME
};

// The mask of the day names ("SU" ... "SA", any case) found anywhere in
// `text`.
int32_t DayMaskOf(std::string_view text);

// Reads `rrule` pair by pair (NAME=VALUE, split at ';', CR, LF and blanks
// before each skipped; names and FREQ words in any case): FREQ, INTERVAL,
// COUNT, BYDAY (the mask, and the number in front as instance: "2SU" 2,
// "-1SU" -1, "MO,TU" 0), BYSETPOS (instance), UNTIL (read with
// `offset_text`), BYMONTHDAY, BYMONTH and WKST. After each pair the record
// is brought to the appointment form:
//  - a COUNT above 0 sets has_end;
//  - a rule on Monday to Friday is weekly, and a daily one becomes weekly
//    with interval 0 (how the appointment interface says "every workday");
//  - monthly with an instance is monthly-nth; without one it takes the
//    start's day when no day was given;
//  - yearly with an instance is yearly-nth; without one it takes the
//    start's day and month where none were given.
// Unknown names and words are passed over. `start` may be all zero.
RecurrenceRecord ICal_ParseRecurrence(std::string_view rrule, const CivilTime& start,
                                      std::string_view offset_text = {});

}  // namespace qx
