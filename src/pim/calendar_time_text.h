#pragma once
// Appointment time texts: the times of an appointment message's
// X-StartTime, X-FinishTime, X-QXReminderTime and their kin, always UTC,
// written "09:30 15 Mar, 2011", or "09:30:05 15 Mar, 2011" when the
// seconds are not 0. Shared by the calendar code of this folder; none of it
// depends on the process's time zone.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

// The time text of Unix seconds (message/date_text.h's display date).
std::string AppointmentTimeText(int32_t unix_seconds);

// Unix seconds of a time text "HH:MM[:SS] DD Mon, YYYY" (leading blanks
// skipped). Read as other programs read it, quirks included: an hour
// outside 0 to 24 is 0 (24 is the next day's midnight), a minute or second
// outside 0 to 59 is 0, a day outside 1 to 31 is 1 (a day past the month's
// end runs into the next month), an unknown month name is December, and a
// year below 1901 is a year after 2000 ("11" is 2011). Nothing when the
// colon, the two blanks or the comma are missing.
std::optional<int64_t> UnixSecondsFromTimeText(std::string_view text);

// The same time as store date text "%Y-%m-%dT%H:%M:%S"; nothing when the
// text does not read or the time lies before 1601.
std::optional<std::string> StoreDateTextFromTimeText(std::string_view text);

}  // namespace qx
