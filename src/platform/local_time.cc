#include "platform/local_time.h"

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>

namespace qx::platform {
namespace {

// Loads the zone at the first call and again whenever TZ names another one.
void KeepZoneCurrent() {
  static std::mutex mutex;
  static bool loaded = false;
  static std::string loaded_tz;
  static bool loaded_tz_set = false;
  std::lock_guard<std::mutex> lock(mutex);
  const char* tz = std::getenv("TZ");
  if (loaded && (tz != nullptr) == loaded_tz_set && (tz == nullptr || loaded_tz == tz)) return;
  ::tzset();
  loaded = true;
  loaded_tz_set = tz != nullptr;
  loaded_tz = tz != nullptr ? tz : "";
}

bool LocalFields(std::time_t instant, std::tm* fields) {
  if (::localtime_r(&instant, fields) != nullptr) return true;
  errno = EOVERFLOW;
  return false;
}

// The offset of the standard time nearest to `instant`, searched a week at a
// time on both sides as the C library does; false when none lies within 17 years.
bool NearestStandardOffset(std::time_t instant, long* offset) {
  constexpr long kStride = 601200;
  constexpr long kBound = 536454000;
  for (long delta = kStride; delta < kBound; delta += kStride) {
    for (const long direction : {-1L, 1L}) {
      std::tm probe{};
      if (LocalFields(instant + direction * delta, &probe) && probe.tm_isdst == 0) {
        *offset = probe.tm_gmtoff;
        return true;
      }
    }
  }
  return false;
}

}  // namespace

std::time_t MakeLocalTime(std::tm* tm) {
  KeepZoneCurrent();
  std::tm fields = *tm;
  errno = 0;
  const std::time_t as_utc = ::timegm(&fields);
  if (as_utc == static_cast<std::time_t>(-1) && errno != 0) return -1;
  // The instant whose offset, applied to the fields read as UTC, leads back to itself.
  std::time_t instant = as_utc;
  std::tm local{};
  bool settled = false;  // `local` is the local time of `instant`
  for (int round = 0; round < 4 && !settled; ++round) {
    if (!LocalFields(instant, &local)) return -1;
    const std::time_t next = as_utc - local.tm_gmtoff;
    settled = next == instant;
    instant = next;
  }
  long standard_offset = 0;
  if (tm->tm_isdst == 0 && local.tm_isdst > 0 && NearestStandardOffset(instant, &standard_offset)) {
    instant = as_utc - standard_offset;
    settled = false;
  }
  if (settled) {
    *tm = local;
  } else if (!LocalFields(instant, tm)) {
    return -1;
  }
  return instant;
}

std::optional<std::time_t> LocalInstantOf(std::tm* tm) {
  errno = 0;
  const std::time_t instant = MakeLocalTime(tm);
  if (instant == static_cast<std::time_t>(-1) && errno != 0) return std::nullopt;
  return instant;
}

bool LocalTimeOf(std::time_t instant, std::tm* fields) {
  std::tm local{};
  if (!LocalFields(instant, &local)) return false;
  *fields = local;
  return true;
}

}  // namespace qx::platform
