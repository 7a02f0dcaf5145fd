#include "pim/ical_property.h"

#include <array>
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

// The marks a date-time value is told by, all found in one pass with a
// table: a walk reads two dates per event.
constexpr uint8_t kAbsoluteMark = 1;  // '+', '-', 'G' or 'Z': not a local time
constexpr uint8_t kTimeMark = 2;      // 'T' or 't': a time of day
constexpr std::array<uint8_t, 256> kDateMarks = [] {
  std::array<uint8_t, 256> marks{};
  for (unsigned char c : std::string_view("+-GZ")) marks[c] = kAbsoluteMark;
  for (unsigned char c : std::string_view("Tt")) marks[c] = kTimeMark;
  return marks;
}();

// Stops at the first absolute mark, which settles the answer; read from
// the end, where a UTC time has its 'Z'. The early stop also keeps the
// compiler from widening the loop into sixteen-byte table gathers, far
// slower on values of fifteen or twenty bytes.
uint8_t DateMarksIn(std::string_view value) {
  uint8_t marks = 0;
  for (size_t at = value.size(); at > 0; --at) {
    marks |= kDateMarks[static_cast<unsigned char>(value[at - 1])];
    if ((marks & kAbsoluteMark) != 0) break;
  }
  return marks;
}

// "20110315" of "20110315T093000", or "2011-03-15" of the extended form.
std::string_view DatePart(std::string_view value) {
  return value.substr(0, value.size() >= 5 && value[4] == '-' ? 10 : 8);
}

// A DTSTART or DTEND value as a FILETIME into *file_time (false when it
// is none): a time in local time (none of '+', '-', 'G', 'Z') is read with
// the offset its zone has then, as if that offset were written after it; a
// date alone (no time of day) is the date at midnight UTC, as other readers
// take a floating date.
bool ReadDateTimeValue(std::string_view value, const TimeZoneRecord& zone, uint64_t* file_time) {
  if (!ICal_ReadDateTime(value, {}, file_time)) return false;
  if (DateMarksIn(value) != kTimeMark) return true;  // absolute, or a date alone
  const int64_t offset = ICal_ZoneOffsetSeconds(zone, *file_time);
  const int64_t utc = static_cast<int64_t>(*file_time) - offset * static_cast<int64_t>(platform::kTicksPerSecond);
  if (utc < 0) return false;
  *file_time = static_cast<uint64_t>(utc);
  return true;
}

// Where a read's bytes go: the ICalPropertyValue of ICal_GetProperty, or
// the block a caller of the store-item interface is handed, written there
// once with nothing between.
struct StringSink {
  std::string* bytes;
  bool Bytes(std::string_view value) {
    bytes->assign(value);
    return true;
  }
  bool Text(std::string_view value) {
    bytes->assign(value);
    bytes->push_back('\0');
    return true;
  }
};

struct BlockSink {
  AllocatedValue block;
  // False when memory runs out: the read then finds nothing.
  bool Bytes(std::string_view value) {
    block = AllocatedValue::Copy(value);
    return static_cast<bool>(block);
  }
  bool Text(std::string_view value) {
    block = AllocatedValue::Text(value);
    return static_cast<bool>(block);
  }
};

// The value converted to the property type into `sink`; false when it
// cannot be.
template <typename Sink>
bool Converted(std::string_view value, const ICalPropertyMapEntry& entry, bool is_wide, const TimeZoneRecord& zone,
               Sink& sink) {
  if (entry.stored_type == kValueICalDateTime) {
    uint64_t file_time = 0;
    const bool read = entry.property_type == kValueAllDayDate ? ICal_ReadDateTime(DatePart(value), {}, &file_time)
                                                              : ReadDateTimeValue(value, zone, &file_time);
    // The bytes FileTimeBytes gives, without a string between.
    return read && sink.Bytes(std::string_view(reinterpret_cast<const char*>(&file_time), sizeof file_time));
  }
  switch (entry.property_type) {
    case kValueUtf16: {
      std::string wide = is_wide ? std::string(value) : platform::Utf8ToUtf16Le(value);
      wide.append(2, '\0');
      return sink.Bytes(wide);
    }
    case kValueText: return sink.Text(value);
    default: {
      const std::optional<std::string> converted = CallerBytesFromStored(value, entry.property_type);
      return converted && sink.Bytes(*converted);
    }
  }
}

// The read of ICal_GetMappedProperty into `sink`: its result (2 with the
// bytes written to the sink).
template <typename Sink>
int32_t ReadMapped(ICalFeed& feed, const std::optional<ICalPropertyMapEntry>& entry, Sink& sink) {
  if (!entry) return -1;
  if (!feed.has_item()) return 0;
  const ICalComponent& item = feed.component();
  ICal_ParseTimeZone(feed.text(), item, &feed.zone());
  if (entry->field != RecurrenceField::kNone) {
    const ICalPropertyValue recurrence = RecurrenceValue(item, *entry);
    return recurrence.result == 2 && sink.Bytes(recurrence.bytes) ? 2 : 0;
  }
  const bool wide_wanted = entry->property_type == kValueUtf16 && entry->stored_type == kValueUtf16;
  ICalValueView text;
  if (ICal_ViewDecodedValue(item, entry->key, true, kICalDecodeBytes, wide_wanted, &text) == kICalValueNotFound ||
      !Converted(text.value, *entry, text.is_wide, feed.zone(), sink)) {
    return 0;
  }
  return 2;
}

}  // namespace

ICalPropertyValue ICal_GetProperty(ICalFeed& feed, std::string_view name) {
  ICalPropertyValue value;
  ICal_GetProperty(feed, name, &value);
  return value;
}

void ICal_GetProperty(ICalFeed& feed, std::string_view name, ICalPropertyValue* value) {
  ICal_GetMappedProperty(feed, ICal_MapProperty(name), value);
}

void ICal_GetMappedProperty(ICalFeed& feed, const std::optional<ICalPropertyMapEntry>& entry,
                            ICalPropertyValue* value) {
  value->bytes.clear();
  StringSink sink{&value->bytes};
  value->result = ReadMapped(feed, entry, sink);
  if (value->result != 2) {
    value->bytes.clear();
    value->type = 0;
    value->is_wide = false;
    return;
  }
  value->type = entry->property_type;
  value->is_wide = entry->property_type == kValueUtf16;
}

PropertyRead ICal_ReadMappedProperty(ICalFeed& feed, const std::optional<ICalPropertyMapEntry>& entry) {
  BlockSink sink;
  PropertyRead read;
  read.result = ReadMapped(feed, entry, sink);
  if (read.result != 2) return read;
  return PropertyRead::Allocated(std::move(sink.block), entry->property_type);
}

}  // namespace qx
