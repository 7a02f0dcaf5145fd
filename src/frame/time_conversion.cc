#include "frame/time_conversion.h"

#include "platform/civil_date.h"

namespace qx {

FILETIME FileTimeFromUnixTime(int32_t unix_seconds) {
  auto ticks = static_cast<uint64_t>((int64_t{unix_seconds} + platform::kSecondsFrom1601To1970) *
                                     static_cast<int64_t>(platform::kTicksPerSecond));
  return FILETIME{static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32)};
}

int64_t UnixTimeFromFileTime(const FILETIME& file_time) {
  uint64_t ticks = (uint64_t{file_time.dwHighDateTime} << 32) | file_time.dwLowDateTime;
  // Unsigned subtraction, then the two's-complement reading: a FILETIME
  // before 1970 becomes a negative count without overflowing.
  auto since_1970 = static_cast<int64_t>(ticks - platform::kUnixEpochAsFileTime);
  return since_1970 / static_cast<int64_t>(platform::kTicksPerSecond);
}

}  // namespace qx
