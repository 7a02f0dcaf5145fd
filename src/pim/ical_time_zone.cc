#include "pim/ical_time_zone.h"

#include <cstdio>
#include <ctime>
#include <optional>

#include "pim/ical_lines.h"
#include "platform/civil_date.h"
#include "platform/diagnostics.h"
#include "platform/local_time.h"
#include "platform/text_compare.h"

namespace qx {

namespace {

using platform::FindNoCaseIn;

constexpr size_t kTzidLimit = 260;
constexpr size_t kOffsetLimit = 15;
// What SystemTimeToFileTime reports for a date that names no day.
constexpr long kErrorInvalidParameter = 87;

std::string_view Block(std::string_view text, std::string_view begin, std::string_view end) {
  const size_t start = FindNoCaseIn(text, begin);
  if (start == std::string_view::npos) return {};
  const std::string_view rest = text.substr(start);
  const size_t stop = FindNoCaseIn(rest, end);
  return stop == std::string_view::npos ? rest : rest.substr(0, stop + end.size());
}

bool HoldsAbsoluteMarker(std::string_view value) {
  return HoldsAnyOf(value, "+-GZ");
}

ZoneRule ReadRule(std::string_view block) {
  ZoneRule rule;
  if (block.empty()) return rule;
  rule.present = true;
  std::string value;
  if (ICal_GetValue(block, "DTSTART", &value) == kICalValueFound) {
    if (std::optional<uint64_t> start = ICal_ParseDateTime(value)) rule.start = CivilFromFileTime(*start);
  }
  if (ICal_GetValue(block, "RRULE", &value) == kICalValueFound) {
    rule.recurrence = ICal_ParseRecurrence(value, rule.start);
  }
  if (ICal_GetValue(block, "TZOFFSETFROM", &value) == kICalValueFound) {
    rule.offset_from = value.substr(0, kOffsetLimit);
  }
  if (ICal_GetValue(block, "TZOFFSETTO", &value) == kICalValueFound) {
    rule.offset_to = value.substr(0, kOffsetLimit);
  }
  return rule;
}

int FirstWeekdayOf(int32_t mask) {
  for (int day = 0; day < 7; ++day) {
    if (mask & (1 << day)) return day;
  }
  return 0;
}

// The rule's change-over in `year` as seconds since 1970 (local clock).
std::optional<int64_t> ChangeOver(const ZoneRule& rule, int64_t year) {
  const RecurrenceRecord& recurrence = rule.recurrence;
  CivilTime time;
  time.year = year;
  time.month = static_cast<unsigned>(recurrence.month_of_year);
  if (recurrence.type == kRecursYearly) {
    time.day = static_cast<unsigned>(recurrence.day_of_month);
  } else if (recurrence.type == kRecursYearlyNth) {
    time.day = NthWeekdayOfMonth(year, time.month, FirstWeekdayOf(recurrence.day_of_week_mask),
                                 recurrence.instance);
  } else {
    return std::nullopt;
  }
  time.hour = rule.start.hour;
  time.minute = rule.start.minute;
  time.second = rule.start.second;
  const std::optional<uint64_t> file_time = FileTimeFromCivil(time);
  if (!file_time) return std::nullopt;
  return static_cast<int64_t>(*file_time / platform::kTicksPerSecond) - platform::kSecondsFrom1601To1970;
}

std::string MachineOffset(uint64_t local) {
  const CivilTime time = CivilFromFileTime(local);
  std::tm fields{};
  fields.tm_year = static_cast<int>(time.year - 1900);
  fields.tm_mon = static_cast<int>(time.month) - 1;
  fields.tm_mday = static_cast<int>(time.day);
  fields.tm_hour = static_cast<int>(time.hour);
  fields.tm_min = static_cast<int>(time.minute);
  fields.tm_sec = static_cast<int>(time.second);
  fields.tm_isdst = -1;
  const std::optional<std::time_t> instant = platform::LocalInstantOf(&fields);
  if (!instant) return "+0000";
  return OffsetText(fields.tm_gmtoff);
}

std::string FixedOffset(const TimeZoneRecord& zone, uint64_t local) {
  if (!zone.standard.offset_to.empty()) return zone.standard.offset_to;
  if (!zone.daylight.offset_to.empty()) return zone.daylight.offset_to;
  return MachineOffset(local);
}

}  // namespace

void ICal_ParseTimeZone(std::string_view feed_text, std::string_view item, TimeZoneRecord* zone) {
  if (zone->parsed || (zone->absolute_item == item.data() && !item.empty())) return;
  ICal_ParseTimeZone(feed_text, ICalComponent(item), zone);
}

void ICal_ParseTimeZone(std::string_view feed_text, const ICalComponent& item, TimeZoneRecord* zone) {
  const std::string_view item_text = item.text();
  if (zone->parsed || (zone->absolute_item == item_text.data() && !item_text.empty())) return;
  ICalValueView start;
  ICal_ViewDecodedValue(item, "DTSTART", true, kICalDecodeBytes, false, &start);
  if (HoldsAbsoluteMarker(start.value)) {
    zone->absolute_item = item_text.data();
    return;
  }
  zone->parsed = true;
  const std::string_view block = Block(feed_text, "BEGIN:VTIMEZONE", "END:VTIMEZONE");
  if (block.empty()) return;
  const size_t tzid = FindNoCaseIn(block, "TZID:");
  if (tzid != std::string_view::npos) {
    const std::string_view rest = block.substr(tzid + 5);
    const std::string_view name = rest.substr(0, rest.find_first_of("\r\n"));
    if (name.size() < kTzidLimit) zone->tzid = name;
  }
  zone->standard = ReadRule(Block(block, "BEGIN:STANDARD", "END:STANDARD"));
  zone->daylight = ReadRule(Block(block, "BEGIN:DAYLIGHT", "END:DAYLIGHT"));
}

namespace {

// Which of the rules' offsets a local time takes.
enum class ZoneOffsetOf { kDaylightFrom, kStandardFrom, kStandardTo, kDaylightTo };

// Between both change-overs of the year `t` (seconds since 1970, local
// clock) is in.
ZoneOffsetOf OffsetBetween(int64_t standard, int64_t daylight, int64_t t) {
  if (standard >= daylight) {
    if (t < daylight) return ZoneOffsetOf::kDaylightFrom;
    if (t < standard) return ZoneOffsetOf::kStandardFrom;
    return ZoneOffsetOf::kStandardTo;
  }
  if (t < standard) return ZoneOffsetOf::kStandardFrom;
  if (t < daylight) return ZoneOffsetOf::kDaylightFrom;
  return ZoneOffsetOf::kDaylightTo;
}

int64_t LocalSeconds(uint64_t local) {
  return static_cast<int64_t>(local / platform::kTicksPerSecond) - platform::kSecondsFrom1601To1970;
}

uint64_t YearBegins(int64_t year) {
  CivilTime first;
  first.year = year;
  first.month = 1;
  first.day = 1;
  return FileTimeFromCivil(first).value_or(0);
}

// Fills the zone's year cache for `year`.
void LearnYear(const TimeZoneRecord& zone, int64_t year) {
  zone.change_over_year = year;
  zone.standard_change_over = ChangeOver(zone.standard, year);
  zone.daylight_change_over = ChangeOver(zone.daylight, year);
  zone.year_begins = YearBegins(year);
  zone.next_year_begins = YearBegins(year + 1);
  zone.standard_from_seconds = UtcOffsetSeconds(zone.standard.offset_from);
  zone.standard_to_seconds = UtcOffsetSeconds(zone.standard.offset_to);
  zone.daylight_from_seconds = UtcOffsetSeconds(zone.daylight.offset_from);
  zone.daylight_to_seconds = UtcOffsetSeconds(zone.daylight.offset_to);
}

}  // namespace

std::string ICal_ZoneOffset(const TimeZoneRecord& zone, uint64_t local) {
  if (!zone.standard.present && !zone.daylight.present) return MachineOffset(local);
  const CivilTime time = CivilFromFileTime(local);
  if (zone.change_over_year != time.year) LearnYear(zone, time.year);
  const std::optional<int64_t>& standard = zone.standard_change_over;
  const std::optional<int64_t>& daylight = zone.daylight_change_over;
  if (!standard || !daylight) {
    if (zone.standard.present && zone.daylight.present && !zone.change_over_reported) {
      zone.change_over_reported = true;
      if (!standard) {
        platform::DiagPrintf("Error Occurred Converting StandardChangeOver::SystemTimeToFileTime: %ld\n",
                             kErrorInvalidParameter);
      }
      if (!daylight) {
        platform::DiagPrintf("Error Occurred Converting DaylightChangeOver::SystemTimeToFileTime: %ld\n",
                             kErrorInvalidParameter);
      }
    }
    return FixedOffset(zone, local);
  }
  switch (OffsetBetween(*standard, *daylight, LocalSeconds(local))) {
    case ZoneOffsetOf::kDaylightFrom: return zone.daylight.offset_from;
    case ZoneOffsetOf::kStandardFrom: return zone.standard.offset_from;
    case ZoneOffsetOf::kStandardTo: return zone.standard.offset_to;
    case ZoneOffsetOf::kDaylightTo: break;
  }
  return zone.daylight.offset_to;
}

int64_t ICal_ZoneOffsetSeconds(const TimeZoneRecord& zone, uint64_t local) {
  const bool year_known = zone.change_over_year != INT64_MIN && zone.year_begins <= local &&
                          local < zone.next_year_begins;
  if (!year_known || !zone.standard_change_over || !zone.daylight_change_over ||
      (!zone.standard.present && !zone.daylight.present)) {
    return UtcOffsetSeconds(ICal_ZoneOffset(zone, local));
  }
  switch (OffsetBetween(*zone.standard_change_over, *zone.daylight_change_over, LocalSeconds(local))) {
    case ZoneOffsetOf::kDaylightFrom: return zone.daylight_from_seconds;
    case ZoneOffsetOf::kStandardFrom: return zone.standard_from_seconds;
    case ZoneOffsetOf::kStandardTo: return zone.standard_to_seconds;
    case ZoneOffsetOf::kDaylightTo: break;
  }
  return zone.daylight_to_seconds;
}

std::string OffsetText(int64_t seconds) {
  const char sign = seconds < 0 ? '-' : '+';
  const int64_t magnitude = seconds < 0 ? -seconds : seconds;
  char text[16];
  std::snprintf(text, sizeof text, "%c%02lld%02lld", sign, static_cast<long long>(magnitude / 3600 % 100),
                static_cast<long long>(magnitude / 60 % 60));
  return text;
}

}  // namespace qx
