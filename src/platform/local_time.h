#pragma once
// mktime() and localtime_r() without their cost: the C library re-reads the
// zone file (a stat of /etc/localtime) on every mktime() call, and takes a
// lock and searches the zone on every conversion, while a folder scan
// converts two dates per message. These read the zone again only when TZ
// changes (a zone file replaced while the process runs is not followed),
// and answer from the zone's table of changes (zone_table.h) wherever it
// agrees with the C library, from the C library elsewhere.

#include <ctime>
#include <optional>

namespace qx::platform {

// As mktime(tm) for fields in range: the instant whose local time has the
// fields of `*tm` (read as standard time when tm_isdst is 0, even while
// daylight saving is in force); `*tm` becomes that instant's local time.
// Returns -1 with errno EOVERFLOW when the instant cannot be represented.
std::time_t MakeLocalTime(std::tm* tm);

// MakeLocalTime with its failure as a value: nothing when the instant cannot
// be represented (a valid instant of -1 is told apart from the failure).
std::optional<std::time_t> LocalInstantOf(std::tm* tm);

// The local time of `instant` in `*fields` (as localtime_r); false, with
// `*fields` untouched, when it cannot be represented.
bool LocalTimeOf(std::time_t instant, std::tm* fields);

}  // namespace qx::platform
