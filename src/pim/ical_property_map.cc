#include "pim/ical_property_map.h"

#include "platform/text_compare.h"
#include "store/property_map.h"

namespace qx {

namespace {

struct Row {
  std::string_view name;
  ICalPropertyMapEntry entry;
};

using enum RecurrenceField;

constexpr ICalPropertyMapEntry Text(std::string_view key) { return {ICalKey(key), kNone, kValueText, kValueText}; }
constexpr ICalPropertyMapEntry Typed(std::string_view key, uint32_t property, uint32_t stored) {
  return {ICalKey(key), kNone, property, stored};
}
constexpr ICalPropertyMapEntry Rule(RecurrenceField field, uint32_t property) {
  return {ICalKey("RRULE"), field, property, 0};
}

constexpr Row kRows[] = {
    {"PR_SUBJECT", Text("SUMMARY")},
    {"PR_LOCATION", Text("LOCATION")},
    {"PR_START_DATE", Typed("DTSTART", kValueFileTime, kValueICalDateTime)},
    {"PR_BNP_Start", Typed("DTSTART", kValueFileTime, kValueICalDateTime)},
    {"PR_START_DATE_ALLDAY", Typed("DTSTART", kValueAllDayDate, kValueICalDateTime)},
    {"PR_BNP_Start_AllDay", Typed("DTSTART", kValueAllDayDate, kValueICalDateTime)},
    {"PR_BNP_End", Typed("DTEND", kValueFileTime, kValueICalDateTime)},
    {"PR_END_DATE", Typed("DTEND", kValueFileTime, kValueICalDateTime)},
    {"PR_END_DATE_ALLDAY", Typed("DTEND", kValueAllDayDate, kValueICalDateTime)},
    {"PR_BNP_End_AllDay", Typed("DTEND", kValueAllDayDate, kValueICalDateTime)},
    {"PR_BNP_AppointmentUID", Text("UID")},
    {"PR_BODY", Text("DESCRIPTION")},
    {"PR_BNP_AllDayEvent", Typed("X-MICROSOFT-CDO-ALLDAYEVENT", kValueBoolean, kValuePlainText)},
    {"PR_BNP_BusyStatus", Typed("X-MICROSOFT-CDO-BUSYSTATUS", kValueInteger, kValuePlainText)},
    {"PR_SENSITIVITY", Typed("CLASS", kValueSensitivity, kValuePlainText)},
    {"PR_BNP_IsRecurring", {ICalKey("RRULE"), kIsRecurring, kValueBoolean, kValuePlainText}},
    {"PR_BNP_RecurrenceType", Rule(kType, kValueInteger)},
    {"PR_BNP_RecurrenceInterval", Rule(kInterval, kValueInteger)},
    {"PR_BNP_Occurrences", Rule(kOccurrences, kValueInteger)},
    {"PR_BNP_RecurrenceInstance", Rule(kInstance, kValueInteger)},
    {"PR_BNP_RecurrenceDayOfWeekMask", Rule(kDayOfWeekMask, kValueInteger)},
    {"PR_BNP_RecurrenceDayOfMonth", Rule(kDayOfMonth, kValueInteger)},
    {"PR_BNP_RecurrenceMonthOfYear", Rule(kMonthOfYear, kValueInteger)},
    {"PR_BNP_PatternEndDate", Rule(kEndDate, kValueFileTime)},
    // The same end date: callers ask for either name.
    {"PR_BNP_NoEndDate", Rule(kEndDate, kValueFileTime)},
    {"PR_BNP_FB_Busy", Text("FREEBUSY;FBTYPE=BUSY")},
    {"PR_BNP_FB_Tentative", Text("FREEBUSY;FBTYPE=BUSY-TENTATIVE")},
    {"PR_BNP_FB_OutOfOffice", Text("FREEBUSY;FBTYPE=BUSY-UNAVAILABLE")},
};

}  // namespace

std::optional<ICalPropertyMapEntry> ICal_MapProperty(std::string_view name) {
  const bool wide = name.size() >= 2 && name.ends_with("_W");
  if (wide) name.remove_suffix(2);
  if (name.empty()) return std::nullopt;
  // Callers ask for a few names thousands of times; the length and the last
  // letter pass over most rows before the whole name is compared.
  const char last = platform::UpperAscii(name.back());
  for (const Row& row : kRows) {
    if (row.name.size() != name.size() || platform::UpperAscii(row.name.back()) != last ||
        !platform::EqualsNoCase(row.name, name)) {
      continue;
    }
    ICalPropertyMapEntry entry = row.entry;
    if (wide && entry.property_type == kValueText && entry.stored_type == kValueText) {
      entry.property_type = kValueUtf16;
      entry.stored_type = kValueUtf16;
    }
    return entry;
  }
  return std::nullopt;
}

}  // namespace qx
