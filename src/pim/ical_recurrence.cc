#include "pim/ical_recurrence.h"

#include <optional>

#include "frame/number_text.h"
#include "platform/text_compare.h"

namespace qx {

namespace {

using platform::EqualsNoCase;

std::string_view SkipLineBreaksAndBlanks(std::string_view text) {
  while (!text.empty() && (text[0] == '\r' || text[0] == '\n' || text[0] == ' ')) text.remove_prefix(1);
  return text;
}

std::optional<int32_t> FrequencyOf(std::string_view word) {
  if (EqualsNoCase(word, "DAILY")) return kRecursDaily;
  if (EqualsNoCase(word, "WEEKLY")) return kRecursWeekly;
  if (EqualsNoCase(word, "MONTHLY")) return kRecursMonthly;
  if (EqualsNoCase(word, "YEARLY")) return kRecursYearly;
  return std::nullopt;
}

void ApplyPair(std::string_view name, std::string_view value, std::string_view offset_text,
               RecurrenceRecord* record) {
  if (EqualsNoCase(name, "FREQ")) {
    if (std::optional<int32_t> type = FrequencyOf(value)) record->type = *type;
  } else if (EqualsNoCase(name, "INTERVAL")) {
    record->interval = LeadingInt32(value);
  } else if (EqualsNoCase(name, "COUNT")) {
    record->occurrences = LeadingInt32(value);
  } else if (EqualsNoCase(name, "BYDAY")) {
    record->day_of_week_mask = DayMaskOf(value);
    record->instance = LeadingInt32(value);
  } else if (EqualsNoCase(name, "BYSETPOS")) {
    record->instance = LeadingInt32(value);
  } else if (EqualsNoCase(name, "UNTIL")) {
    record->has_end = 1;
    record->end_date = ICal_ParseDateTime(value, offset_text).value_or(0);
  } else if (EqualsNoCase(name, "BYMONTHDAY")) {
    record->day_of_month = LeadingInt32(value);
  } else if (EqualsNoCase(name, "BYMONTH")) {
    record->month_of_year = LeadingInt32(value);
  } else if (EqualsNoCase(name, "WKST")) {
    record->week_start = DayMaskOf(value);
  }
}

// Run after every pair, so the order of the pairs matters as it always has:
// "FREQ=DAILY;BYDAY=MO,TU,WE,TH,FR;INTERVAL=2" ends weekly with interval 2.
void Normalise(const CivilTime& start, RecurrenceRecord* record) {
  if (record->occurrences > 0) record->has_end = 1;
  if (record->day_of_week_mask == kWorkdayMask) {
    if (record->type == kRecursDaily) record->interval = 0;
    record->type = kRecursWeekly;
  }
  if (record->type == kRecursMonthly) {
    if (record->instance != 0) {
      record->type = kRecursMonthlyNth;
    } else if (record->day_of_month == 0) {
      record->day_of_month = static_cast<int32_t>(start.day);
    }
  }
  if (record->type == kRecursYearly) {
    if (record->instance != 0) {
      record->type = kRecursYearlyNth;
    } else {
      if (record->day_of_month == 0) record->day_of_month = static_cast<int32_t>(start.day);
      if (record->month_of_year == 0) record->month_of_year = static_cast<int32_t>(start.month);
    }
  }
}

}  // namespace

int32_t DayMaskOf(std::string_view text) {
  static constexpr std::string_view kDays[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
  int32_t mask = 0;
  for (int day = 0; day < 7; ++day) {
    if (platform::FindNoCaseIn(text, kDays[day]) != std::string_view::npos) mask |= 1 << day;
  }
  return mask;
}

RecurrenceRecord ICal_ParseRecurrence(std::string_view rrule, const CivilTime& start,
                                      std::string_view offset_text) {
  RecurrenceRecord record;
  while (!rrule.empty()) {
    const size_t end = rrule.find(';');
    const std::string_view pair = SkipLineBreaksAndBlanks(rrule.substr(0, end));
    rrule = end == std::string_view::npos ? std::string_view() : rrule.substr(end + 1);
    const size_t equals = pair.find('=');
    if (equals == std::string_view::npos) continue;
    ApplyPair(pair.substr(0, equals), pair.substr(equals + 1), offset_text, &record);
    Normalise(start, &record);
  }
  return record;
}

}  // namespace qx
