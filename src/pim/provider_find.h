#pragma once
// Stepping through the lines of one provider file (AppointmentFindFirst,
// AppointmentFindNext). The position is a line number kept per thread in a
// thread-local slot: enumerations on different threads never disturb each
// other, while two interleaved enumerations on one thread share the
// position, as the server's programs have always seen it.

#include <optional>
#include <string_view>

#include "pim/calendar_bucket.h"
#include "pim/provider_file_format.h"

namespace qx {

// Sets the thread's position to the start and finds the next entry.
std::optional<ProviderEntry> FindFirstProviderEntry(const CalendarBucket& bucket,
                                                    std::string_view identifier);

// After waiting for the bucket's block: the first line beyond the thread's
// position whose identifier matches (every line for an empty identifier);
// its number becomes the position. At the end of the file the position
// becomes the number of the file's last line and the result is nothing;
// without a file the position stays.
std::optional<ProviderEntry> FindNextProviderEntry(const CalendarBucket& bucket,
                                                   std::string_view identifier);

}  // namespace qx
