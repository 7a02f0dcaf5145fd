#pragma once
// The VTIMEZONE of an iCalendar text, and the offset it gives a local time.
// Events written in local time ("DTSTART;TZID=Europe:20110315T093000") get
// the offset their zone has at that time appended before they are read.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "pim/ical_date_time.h"
#include "pim/ical_lines.h"
#include "pim/ical_recurrence.h"

namespace qx {

// One of the zone's two rules (its STANDARD or DAYLIGHT block).
struct ZoneRule {
  bool present = false;  // the block was found
  CivilTime start;       // its DTSTART: the time of day of the change-over
  RecurrenceRecord recurrence;
  std::string offset_from;  // TZOFFSETFROM, at most 15 characters ("+0100")
  std::string offset_to;    // TZOFFSETTO, at most 15 characters
};

struct TimeZoneRecord {
  std::string tzid;  // at most 259 characters; empty until a VTIMEZONE was read
  ZoneRule standard;
  ZoneRule daylight;
  // The text was looked at once: times are absolute or the zone is read.
  bool parsed = false;
  // A rule without a change-over was reported (once per feed, not per read).
  mutable bool change_over_reported = false;
  // The item whose absolute times let the zone go unread, so that its other
  // properties do not look again.
  const char* absolute_item = nullptr;
  // The change-overs of the year asked last: a walk reads many events of
  // one year. With them the FILETIMEs that begin that year and the next,
  // and the rules' offsets in seconds, for ICal_ZoneOffsetSeconds.
  mutable int64_t change_over_year = INT64_MIN;
  mutable std::optional<int64_t> standard_change_over;
  mutable std::optional<int64_t> daylight_change_over;
  mutable uint64_t year_begins = 0;
  mutable uint64_t next_year_begins = 0;
  mutable int64_t standard_from_seconds = 0;
  mutable int64_t standard_to_seconds = 0;
  mutable int64_t daylight_from_seconds = 0;
  mutable int64_t daylight_to_seconds = 0;
};

// Reads the zone of `feed_text` into *zone, once: nothing is read when it
// was already, or when the DTSTART of `item` holds '+', '-', 'G' or 'Z' (its
// times are absolute, so the item that asked needs no zone; a later item
// may ask again). Otherwise the first BEGIN:VTIMEZONE ... END:VTIMEZONE
// block gives TZID (the text after "TZID:" up to the line end, kept when
// under 260 characters) and its STANDARD and DAYLIGHT blocks the two rules:
// DTSTART, RRULE (read with that start), TZOFFSETFROM and TZOFFSETTO.
void ICal_ParseTimeZone(std::string_view feed_text, std::string_view item, TimeZoneRecord* zone);
// The same for an item whose lines are found already.
void ICal_ParseTimeZone(std::string_view feed_text, const ICalComponent& item, TimeZoneRecord* zone);

// The offset text for `local`, a local time read as if it were UTC. For the
// year of `local` each rule's change-over falls on its month, on its day
// (yearly rules) or its n-th weekday (yearly-nth rules), at the time of day
// of its start. With the standard change-over S not before the daylight one
// D (northern zones), times before D take the daylight rule's offset-from,
// times in [D, S) the standard rule's offset-from and later ones its
// offset-to; with S before D (southern zones), times before S take the
// standard rule's offset-from, times in [S, D) the daylight rule's
// offset-from and later ones its offset-to.
//
// A rule of another kind has no change-over and prints "Error Occurred
// Converting StandardChangeOver::SystemTimeToFileTime: 87" (or the
// DaylightChangeOver form) when both rules were given, once per zone. Then the zone's
// fixed offset is taken: the standard rule's offset-to, else the daylight
// rule's. A text without a zone is in the local time of this machine, so
// without either offset the machine's offset at that time is given.
std::string ICal_ZoneOffset(const TimeZoneRecord& zone, uint64_t local);
// UtcOffsetSeconds(ICal_ZoneOffset(zone, local)), without the text when the
// zone's rules give both change-overs of the year of `local`.
int64_t ICal_ZoneOffsetSeconds(const TimeZoneRecord& zone, uint64_t local);

// "+HHMM" or "-HHMM" for an offset in seconds east of UTC.
std::string OffsetText(int64_t seconds);

}  // namespace qx
