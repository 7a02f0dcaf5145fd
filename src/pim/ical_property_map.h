#pragma once
// The property names of the store item interface (PR_SUBJECT, PR_START_DATE,
// PR_BNP_RecurrenceType, ...) mapped to the iCalendar keys of a VEVENT.

#include <cstdint>
#include <optional>
#include <string_view>

#include "pim/ical_lines.h"

namespace qx {

// Value types of iCalendar values besides those of store/property_map.h.
inline constexpr uint32_t kValueICalDateTime = 11;  // iCalendar date-time text
inline constexpr uint32_t kValueAllDayDate = 13;    // a date: FILETIME of its midnight

// The field of the recurrence record a property reads, for RRULE rows.
enum class RecurrenceField {
  kNone,
  kIsRecurring,
  kType,
  kInterval,
  kOccurrences,
  kInstance,
  kDayOfWeekMask,
  kDayOfMonth,
  kMonthOfYear,
  kEndDate,
};

struct ICalPropertyMapEntry {
  ICalKey key;  // the iCalendar key, parameters included for FREEBUSY
  RecurrenceField field = RecurrenceField::kNone;
  uint32_t property_type = 8;  // handed to the caller
  uint32_t stored_type = 8;    // as the value is read from the text
};

// The entry for `name` (any case); nothing when it names no iCalendar
// property. A name ending in "_W" is looked up without the suffix and reads
// as UTF-16 text (types 16 and 16) where its row keeps the default text
// types; rows with types of their own keep them.
std::optional<ICalPropertyMapEntry> ICal_MapProperty(std::string_view name);

}  // namespace qx
