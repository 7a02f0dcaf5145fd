#pragma once
// Seconds since 1970-01-01 UTC and FILETIME (100 ns ticks since 1601).

#include <cstdint>

#include "qxstore.h"

namespace qx {

// Sign-extended seconds, plus the 11644473600 seconds between the epochs,
// in ticks; stored as low and high halves.
FILETIME FileTimeFromUnixTime(int32_t unix_seconds);

// Whole seconds since 1970, truncated toward zero: a time less than a second
// before 1970 gives 0.
int64_t UnixTimeFromFileTime(const FILETIME& file_time);

}  // namespace qx
