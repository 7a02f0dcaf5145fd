#pragma once
// Reading a property of a feed's current VEVENT by its store item name.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "pim/ical_feed.h"
#include "pim/ical_property_map.h"
#include "store/item_kinds.h"

namespace qx {

struct ICalPropertyValue {
  // 2 read and converted; 0 absent (or not convertible, or no current
  // item); -1 the name is not an iCalendar property.
  int32_t result = 0;
  // The value as callers get it: a 32-bit number or a FILETIME in its 4 or
  // 8 little-endian bytes, text with its NUL, UTF-16LE text with two NULs.
  std::string bytes;
  uint32_t type = 0;  // the property type of the map
  bool is_wide = false;
};

// ICal_GetProperty: maps the name (ical_property_map.h), reads the feed's
// zone when it has not been read (ical_time_zone.h), then:
//  - recurrence fields: from the item's "RRULE:" value, parsed with the
//    item's DTSTART as start; is-recurring is 1 for a non-empty rule;
//    without a rule every field reads 0 but the interval, which reads 1;
//  - other keys: the decoded value (quoted-printable decoded, UTF-16 when
//    the name asked for it). A DTSTART or DTEND in local time (none of '+',
//    '-', 'G', 'Z') is read with the zone's offset at that time, as if it
//    were written after it; a date alone (no time of day) is the date at
//    midnight UTC, as other readers take a floating date;
//  - then converted to the property type: text to boolean ("TRUE", "1"),
//    integer (atol), sensitivity (PUBLIC 0, PRIVATE 2, CONFIDENTIAL 3),
//    UTF-16; date-time text to FILETIME; the all-day forms to the FILETIME
//    of the value's own date at midnight.
ICalPropertyValue ICal_GetProperty(ICalFeed& feed, std::string_view name);
// The same into *value, whose memory serves again: a walk reads thousands.
void ICal_GetProperty(ICalFeed& feed, std::string_view name, ICalPropertyValue* value);
// The same for a name mapped already; `entry` is ICal_MapProperty's answer.
void ICal_GetMappedProperty(ICalFeed& feed, const std::optional<ICalPropertyMapEntry>& entry,
                            ICalPropertyValue* value);
// The same read as StoreItem_GetProperty hands it over: result 2 with the
// bytes in a block of their own, written there directly; -1 and 0 as above.
PropertyRead ICal_ReadMappedProperty(ICalFeed& feed, const std::optional<ICalPropertyMapEntry>& entry);

}  // namespace qx
