#include "pim/ical_property.h"

#include <optional>

#include "pim/ical_lines.h"
#include "pim/ical_property_map.h"
#include "pim/ical_recurrence.h"
#include "platform/text_compare.h"
#include "platform/utf16_text.h"
#include "store/property_map.h"
#include "store/property_values.h"

namespace qx {

namespace {

using platform::StartsWithNoCase;

ICalPropertyValue Found(std::string bytes, uint32_t type, bool is_wide = false) {
  return {2, std::move(bytes), type, is_wide};
}

ICalPropertyValue RecurrenceValue(std::string_view item, const ICalPropertyMapEntry& entry) {
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

bool IsDateTimeKey(std::string_view key) {
  return StartsWithNoCase(key, "DTSTART") || StartsWithNoCase(key, "DTEND");
}

bool IsLocalTime(std::string_view value) {
  return value.find_first_of("+-GZ") == std::string_view::npos;
}

bool HasTimeOfDay(std::string_view value) { return value.find_first_of("Tt") != std::string_view::npos; }

// "20110315" of "20110315T093000+0100", or "2011-03-15" of the extended form.
std::string_view DatePart(std::string_view value) {
  return value.substr(0, value.size() >= 5 && value[4] == '-' ? 10 : 8);
}

std::optional<std::string> Converted(const std::string& value, uint32_t stored_type,
                                     uint32_t property_type, bool is_wide) {
  switch (property_type) {
    case kValueUtf16:
      return (is_wide ? value : platform::Utf8ToUtf16Le(value)) + std::string(2, '\0');
    case kValueFileTime: {
      if (stored_type != kValueICalDateTime) break;
      const std::optional<uint64_t> file_time = ICal_ParseDateTime(value);
      if (!file_time) return std::nullopt;
      return FileTimeBytes(*file_time);
    }
    case kValueAllDayDate: {
      const std::optional<uint64_t> file_time = ICal_ParseDateTime(DatePart(value));
      if (!file_time) return std::nullopt;
      return FileTimeBytes(*file_time);
    }
    default: break;
  }
  return CallerBytesFromStored(value, property_type);
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
  const std::string_view item = feed.item();
  ICal_ParseTimeZone(feed.text(), item, &feed.zone());
  if (entry->field != RecurrenceField::kNone) return RecurrenceValue(item, *entry);

  const bool wide_wanted = entry->property_type == kValueUtf16 && entry->stored_type == kValueUtf16;
  std::string value;
  bool is_wide = false;
  if (ICal_GetDecodedValue(item, entry->key, &value, true, kICalDecodeBytes, wide_wanted, &is_wide) ==
      kICalValueNotFound) {
    return {};
  }
  if (!is_wide && IsDateTimeKey(entry->key) && IsLocalTime(value) && HasTimeOfDay(value)) {
    if (std::optional<uint64_t> local = ICal_ParseDateTime(value)) {
      value += ICal_ZoneOffset(feed.zone(), *local);
    }
  }
  uint32_t stored_type = entry->stored_type;
  if (wide_wanted && !is_wide) stored_type = kValueText;
  std::optional<std::string> bytes = Converted(value, stored_type, entry->property_type, is_wide);
  if (!bytes) return {};
  return Found(std::move(*bytes), entry->property_type, entry->property_type == kValueUtf16);
}

}  // namespace qx
