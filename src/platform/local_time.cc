#include "platform/local_time.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/civil_date.h"
#include "platform/zone_table.h"

namespace qx::platform {
namespace {

// The zone in force for one value of TZ, with its table when the zone file
// could be read and agrees with the C library.
struct LoadedZone {
  bool tz_set = false;
  std::string tz;
  std::optional<ZoneTable> table;

  bool IsFor(const char* current) const {
    return (current != nullptr) == tz_set && (current == nullptr || tz == current);
  }
};

bool LibraryFields(std::time_t instant, std::tm* fields) {
  if (::localtime_r(&instant, fields) != nullptr) return true;
  errno = EOVERFLOW;
  return false;
}

// The table is used only when it gives what the C library gives, at both
// sides of every change it records and across the range of dates.
bool AgreesWithLibrary(const ZoneTable& table) {
  std::vector<std::time_t> probes = {0, -2147483648LL, 2147483647LL, 1300000000, 1700000000};
  for (const std::time_t at : table.change_instants()) {
    probes.push_back(at - 1);
    probes.push_back(at);
  }
  for (const std::time_t at : probes) {
    std::tm ours{};
    std::tm theirs{};
    if (!table.LocalFields(at, &ours)) continue;
    if (!LibraryFields(at, &theirs) || ours.tm_gmtoff != theirs.tm_gmtoff || ours.tm_isdst != theirs.tm_isdst ||
        ours.tm_hour != theirs.tm_hour || ours.tm_mday != theirs.tm_mday || ours.tm_yday != theirs.tm_yday ||
        ours.tm_wday != theirs.tm_wday || std::strcmp(ours.tm_zone, theirs.tm_zone) != 0) {
      return false;
    }
  }
  return true;
}

// The zone for the current TZ, loaded at the first call and again whenever
// TZ names another one. Loaded zones are kept for the life of the process
// (TZ changes a handful of times at most), so that readers hold no lock.
const LoadedZone& CurrentZone() {
  static std::atomic<const LoadedZone*> current{nullptr};
  const char* tz = std::getenv("TZ");
  const LoadedZone* zone = current.load(std::memory_order_acquire);
  if (zone != nullptr && zone->IsFor(tz)) return *zone;

  static std::mutex mutex;
  static std::deque<LoadedZone> loaded;
  std::lock_guard<std::mutex> lock(mutex);
  zone = current.load(std::memory_order_acquire);
  if (zone != nullptr && zone->IsFor(tz)) return *zone;
  ::tzset();
  LoadedZone& fresh = loaded.emplace_back();
  fresh.tz_set = tz != nullptr;
  fresh.tz = tz != nullptr ? tz : "";
  const std::string file = ZoneTable::FileForTz(tz);
  if (!file.empty()) fresh.table = ZoneTable::Load(file);
  if (fresh.table && !AgreesWithLibrary(*fresh.table)) fresh.table.reset();
  current.store(&fresh, std::memory_order_release);
  return fresh;
}

bool LocalFields(const LoadedZone& zone, std::time_t instant, std::tm* fields) {
  if (zone.table && zone.table->LocalFields(instant, fields)) return true;
  return LibraryFields(instant, fields);
}

// timegm() of fields in their usual ranges, by arithmetic; false for others
// (out of range, or years far enough out for the C library's overflow
// rules to matter), which are left to timegm.
bool FieldsAsUtc(const std::tm& fields, std::time_t* instant) {
  if (fields.tm_mon < 0 || fields.tm_mon > 11 || fields.tm_mday < 1 || fields.tm_mday > 31 ||
      fields.tm_hour < 0 || fields.tm_hour > 24 || fields.tm_min < 0 || fields.tm_min > 59 ||
      fields.tm_sec < 0 || fields.tm_sec > 60 || fields.tm_year < -1000000 || fields.tm_year > 1000000) {
    return false;
  }
  const int64_t days = DaysFromCivil(int64_t{fields.tm_year} + 1900, static_cast<unsigned>(fields.tm_mon) + 1, 1) +
                       fields.tm_mday - 1;
  *instant = static_cast<std::time_t>(days * kSecondsPerDay + fields.tm_hour * 3600 + fields.tm_min * 60 +
                                      fields.tm_sec);
  return true;
}

// The offset of the standard time nearest to `instant`, searched a week at a
// time on both sides as the C library does; false when none lies within 17 years.
bool NearestStandardOffset(const LoadedZone& zone, std::time_t instant, long* offset) {
  constexpr long kStride = 601200;
  constexpr long kBound = 536454000;
  for (long delta = kStride; delta < kBound; delta += kStride) {
    for (const long direction : {-1L, 1L}) {
      std::tm probe{};
      if (LocalFields(zone, instant + direction * delta, &probe) && probe.tm_isdst == 0) {
        *offset = probe.tm_gmtoff;
        return true;
      }
    }
  }
  return false;
}

}  // namespace

std::time_t MakeLocalTime(std::tm* tm) {
  const LoadedZone& zone = CurrentZone();
  std::time_t as_utc = 0;
  if (!FieldsAsUtc(*tm, &as_utc)) {
    std::tm fields = *tm;
    errno = 0;
    as_utc = ::timegm(&fields);
    if (as_utc == static_cast<std::time_t>(-1) && errno != 0) return -1;
  }
  // The instant whose offset, applied to the fields read as UTC, leads back to itself.
  std::time_t instant = as_utc;
  std::tm local{};
  bool settled = false;  // `local` is the local time of `instant`
  for (int round = 0; round < 4 && !settled; ++round) {
    if (!LocalFields(zone, instant, &local)) return -1;
    const std::time_t next = as_utc - local.tm_gmtoff;
    settled = next == instant;
    instant = next;
  }
  long standard_offset = 0;
  if (tm->tm_isdst == 0 && local.tm_isdst > 0 && NearestStandardOffset(zone, instant, &standard_offset)) {
    instant = as_utc - standard_offset;
    settled = false;
  }
  if (settled) {
    *tm = local;
  } else if (!LocalFields(zone, instant, tm)) {
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
  if (!LocalFields(CurrentZone(), instant, &local)) return false;
  *fields = local;
  return true;
}

}  // namespace qx::platform
