#include "pim/ical_property.h"

#include <optional>

#include "pim/ical_lines.h"
#include "pim/ical_property_map.h"
#include "pim/ical_recurrence.h"
#include "platform/civil_date.h"
#include "platform/utf16_text.h"
#include "store/property_map.h"
#include "store/property_values.h"

namespace qx {

namespace {

ICalPropertyValue Found(std::string bytes, uint32_t type, bool is_wide = false) {
  return {2, std::move(bytes), type, is_wide};
}

ICalPropertyValue RecurrenceValue(const ICalComponent& item, const ICalPropertyMapEntry& entry) {
  RecurrenceRecord record;
  int32_t recurring = 0;
  std::string rule;
  if (ICal_GetValue(item, "RRULE", &rule) == kICalValueFound) {
    std::string start_text;
    bool is_wide = false;
    ICal_GetDecodedValue(item, "DTSTART", &start_text, true, kICalDecodeBytes, false, &is_wide);
    CivilTime start;
    if (std::optional<uint64_t> file_time = ICal_ParseDateTime(start_text)) {
      start = CivilFromFileTime(*file_time);
    }
    recurring = rule.empty() ? 0 : 1;
    record = ICal_ParseRecurrence(rule, start);
  }
  switch (entry.field) {
    case RecurrenceField::kIsRecurring: return Found(NumberBytes(recurring), entry.property_type);
    case RecurrenceField::kType: return Found(NumberBytes(record.type), entry.property_type);
    case RecurrenceField::kInterval: return Found(NumberBytes(record.interval), entry.property_type);
    case RecurrenceField::kOccurrences: return Found(NumberBytes(record.occurrences), entry.property_type);
    case RecurrenceField::kInstance: return Found(NumberBytes(record.instance), entry.property_type);
    case RecurrenceField::kDayOfWeekMask:
      return Found(NumberBytes(record.day_of_week_mask), entry.property_type);
    case RecurrenceField::kDayOfMonth: return Found(NumberBytes(record.day_of_month), entry.property_type);
    case RecurrenceField::kMonthOfYear: return Found(NumberBytes(record.month_of_year), entry.property_type);
    case RecurrenceField::kEndDate: return Found(FileTimeBytes(record.end_date), entry.property_type);
    case RecurrenceField::kNone: break;
  }
  return {};
}

bool IsLocalTime(std::string_view value) {
  return !HoldsAnyOf(value, "+-GZ");
}

bool HasTimeOfDay(std::string_view value) { return HoldsAnyOf(value, "Tt"); }

// "20110315" of "20110315T093000", or "2011-03-15" of the extended form.
std::string_view DatePart(std::string_view value) {
  return value.substr(0, value.size() >= 5 && value[4] == '-' ? 10 : 8);
}

// A DTSTART or DTEND value as a FILETIME: a time in local time (none of
// '+', '-', 'G', 'Z') is read with the offset its zone has then, as if that
// offset were written after it; a date alone (no time of day) is the date
// at midnight UTC, as other readers take a floating date.
std::optional<uint64_t> DateTimeValue(std::string_view value, const TimeZoneRecord& zone) {
  std::optional<uint64_t> file_time = ICal_ParseDateTime(value);
  if (!file_time || !IsLocalTime(value) || !HasTimeOfDay(value)) return file_time;
  const int64_t offset = UtcOffsetSeconds(ICal_ZoneOffset(zone, *file_time));
  const int64_t utc = static_cast<int64_t>(*file_time) - offset * static_cast<int64_t>(platform::kTicksPerSecond);
  if (utc < 0) return std::nullopt;
  return static_cast<uint64_t>(utc);
}

std::optional<std::string> Converted(std::string&& value, const ICalPropertyMapEntry& entry, bool is_wide,
                                     const TimeZoneRecord& zone) {
  if (entry.stored_type == kValueICalDateTime) {
    const std::optional<uint64_t> file_time = entry.property_type == kValueAllDayDate
                                                  ? ICal_ParseDateTime(DatePart(value))
                                                  : DateTimeValue(value, zone);
    if (!file_time) return std::nullopt;
    return FileTimeBytes(*file_time);
  }
  switch (entry.property_type) {
    case kValueUtf16:
      if (!is_wide) value = platform::Utf8ToUtf16Le(value);
      value.append(2, '\0');
      return std::move(value);
    case kValueText:
      value.push_back('\0');
      return std::move(value);
    default: return CallerBytesFromStored(value, entry.property_type);
  }
}

}  // namespace

ICalPropertyValue ICal_GetProperty(ICalFeed& feed, std::string_view name) {
  const std::optional<ICalPropertyMapEntry> entry = ICal_MapProperty(name);
  if (!entry) {
    ICalPropertyValue unknown;
    unknown.result = -1;
    return unknown;
  }
  if (!feed.has_item()) return {};
  const ICalComponent& item = feed.component();
  ICal_ParseTimeZone(feed.text(), feed.item(), &feed.zone());
  if (entry->field != RecurrenceField::kNone) return RecurrenceValue(item, *entry);

  const bool wide_wanted = entry->property_type == kValueUtf16 && entry->stored_type == kValueUtf16;
  std::string value;
  bool is_wide = false;
  if (ICal_GetDecodedValue(item, entry->key, &value, true, kICalDecodeBytes, wide_wanted, &is_wide) ==
      kICalValueNotFound) {
    return {};
  }
  std::optional<std::string> bytes = Converted(std::move(value), *entry, is_wide, feed.zone());
  if (!bytes) return {};
  return Found(std::move(*bytes), entry->property_type, entry->property_type == kValueUtf16);
}

}  // namespace qx
