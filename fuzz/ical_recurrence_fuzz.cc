// Arbitrary bytes as an RRULE value through the recurrence parser, with the
// start of the event read from the input. Input: start\0rrule.
// Checks: the record is one the appointment interface knows (a known type,
// day masks of the seven day bits, has_end 0 or 1 and set by a COUNT), and
// blanks after the separators change nothing.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "pim/ical_date_time.h"
#include "pim/ical_recurrence.h"

namespace {

constexpr int32_t kAllDays = 0x7F;

bool KnownType(int32_t type) {
  switch (type) {
    case qx::kRecursDaily:
    case qx::kRecursWeekly:
    case qx::kRecursMonthly:
    case qx::kRecursMonthlyNth:
    case qx::kRecursYearly:
    case qx::kRecursYearlyNth:
      return true;
    default:
      return false;
  }
}

bool Same(const qx::RecurrenceRecord& a, const qx::RecurrenceRecord& b) {
  return a.type == b.type && a.interval == b.interval && a.occurrences == b.occurrences &&
         a.instance == b.instance && a.day_of_week_mask == b.day_of_week_mask && a.day_of_month == b.day_of_month &&
         a.month_of_year == b.month_of_year && a.week_start == b.week_start && a.has_end == b.has_end &&
         a.end_date == b.end_date;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qx::fuzz::StartScratchStore();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto parts = qx::fuzz::SplitInput(qx::fuzz::AsText(data, size), 2);
  const std::string_view rrule = parts[1];
  qx::CivilTime start;
  if (const auto moment = qx::ICal_ParseDateTime(parts[0], "GMT")) start = qx::CivilFromFileTime(*moment);

  const qx::RecurrenceRecord rule = qx::ICal_ParseRecurrence(rrule, start);
  if (!KnownType(rule.type)) __builtin_trap();
  if ((rule.day_of_week_mask & ~kAllDays) != 0 || (rule.week_start & ~kAllDays) != 0) __builtin_trap();
  if (rule.has_end != 0 && rule.has_end != 1) __builtin_trap();
  if (rule.occurrences > 0 && rule.has_end != 1) __builtin_trap();

  std::string spaced;
  for (char c : rrule) {
    spaced += c;
    if (c == ';') spaced += ' ';
  }
  if (!Same(qx::ICal_ParseRecurrence(spaced, start), rule)) __builtin_trap();
  return 0;
}
