#pragma once
// RFC 822 dates of message headers ("Tue, 01 Mar 2011 12:00:00 +0100") as
// store date text ("%Y-%m-%dT%H:%M:%S"). The conversion goes through the C
// library's local time with daylight saving off, as the system always did;
// with a zone the result is the message time in UTC.

#include <optional>
#include <string>
#include <string_view>

namespace qx {

// The store date text for `text`, or nothing when a token or its delimiter
// is missing. Quirks other processes rely on, kept on purpose: the seconds
// must be followed by a blank; a year below 1901 is read as 20yy; an unknown
// month name gives December; out-of-range fields are clamped, not rejected.
std::optional<std::string> ParseMessageDate(std::string_view text);

// Store date text held in place, for readers that convert a date per message
// without a string each time; the longest (an 11-character year) fits.
struct MessageDateText {
  char bytes[32];
  size_t size = 0;
  std::string_view view() const { return {bytes, size}; }
};
// ParseMessageDate into `*out`; false (and `*out` meaningless) when the
// text is no date.
bool ParseMessageDate(std::string_view text, MessageDateText* out);

// The month number 1 to 12 for "Jan" to "Dec" (compared without regard to
// case); 12 for any other name.
int MonthFromName(std::string_view name);

// "Jan" to "Dec" for 1 to 12.
const char* MonthName(int month);

// The year rule of message dates: a year below 1901 is a year after 2000.
int ExpandMessageYear(int year);

}  // namespace qx
