#pragma once
// iCalendar date-time texts ("20110315T093000", "20110315T093000Z",
// "2011-03-15T09:30:00-05:00", "20110315") read into FILETIME values (UTC),
// and the calendar helpers the time-zone rules need.

#include <cstdint>
#include <optional>
#include <string_view>

namespace qx {

// A moment of the calendar (what the system calls a SYSTEMTIME): month 1 to
// 12, day 1 to 31, weekday 0 Sunday to 6 Saturday. All zero when unset.
struct CivilTime {
  int64_t year = 0;
  unsigned month = 0;
  unsigned day = 0;
  unsigned weekday = 0;
  unsigned hour = 0;
  unsigned minute = 0;
  unsigned second = 0;
};

// The FILETIME of a date and time read as UTC; nothing for a date that does
// not exist, a time out of range, or a moment before 1601.
std::optional<uint64_t> FileTimeFromCivil(const CivilTime& time);
// The same into *file_time; false for nothing. A walk reads two dates per
// event: an optional handed back from another file has its flag stored as a
// byte and loaded as a word, and the load waits for the store.
bool FileTimeOfCivil(const CivilTime& time, uint64_t* file_time);

// The UTC calendar moment of a FILETIME (whole seconds).
CivilTime CivilFromFileTime(uint64_t file_time);

// Reads a date-time text, at most 127 characters of it:
//  - the extended form ("YYYY-MM-DD...", told by a '-' as fifth character)
//    loses its first two '-' and every ':';
//  - fewer than 8 characters left: nothing;
//  - YYYYMMDD is the date; past the ninth character come the hour, minute
//    and second (characters 10-11, 12-13, 14-15); a date alone is midnight;
//  - with an empty `offset_text`, a '+' (or else a '-') in a text that has
//    a time starts the offset when it and what follows are at most five
//    characters ("-0500");
//  - the offset ("GMT", "+0100", "-0500", "+0530") is subtracted; a 'Z'
//    needs nothing, the time being UTC already.
// Nothing when the date does not exist or the time is out of range.
std::optional<uint64_t> ICal_ParseDateTime(std::string_view text, std::string_view offset_text = {});
// The same into *file_time; false for nothing (see FileTimeOfCivil).
bool ICal_ReadDateTime(std::string_view text, std::string_view offset_text, uint64_t* file_time);

// Seconds east of UTC of an offset text as ICal_ParseDateTime reads it.
int64_t UtcOffsetSeconds(std::string_view offset_text);

// The day of the month of the `instance`-th `weekday` (0 Sunday to 6
// Saturday) of a month: days 1 to the month's last are tested in order, the
// search stopping when the count of matching days reaches a positive
// instance; the result is the last matching day counted, so -1 (or any
// instance beyond the month's weeks) gives the last such weekday. 0 when
// the month is out of range.
unsigned NthWeekdayOfMonth(int64_t year, unsigned month, unsigned weekday, int32_t instance);

}  // namespace qx
