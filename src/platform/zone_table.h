#pragma once
// A local time zone's changes of offset, read from its compiled zone file,
// so that the local time of an instant is arithmetic instead of a call into
// the C library (which takes a lock and searches the zone on every call).
// The table answers only where it gives what the C library gives: between
// the zone's first and last recorded change, or everywhere for a zone that
// never changes. Outside that, and for zones with leap seconds, callers ask
// the C library.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx::platform {

class ZoneTable {
 public:
  // The table of the compiled zone file at `path` (version 2 or later);
  // nothing when it cannot be read or uses leap seconds.
  static std::optional<ZoneTable> Load(std::string_view path);

  // The local time of `instant` in `*fields`, as localtime_r gives it in
  // this zone (tm_zone points into the table). False, `*fields` untouched,
  // where the table does not settle it or the year does not fit.
  bool LocalFields(std::time_t instant, std::tm* fields) const;

  // The instants where the zone's offset changes, ascending.
  const std::vector<int64_t>& change_instants() const { return changes_; }

  // The zone file the C library reads for TZ `tz` (nullptr when unset);
  // empty when TZDIR may send it elsewhere. A TZ that names no file (a rule
  // text such as "EST5EDT4") names a file Load finds missing.
  static std::string FileForTz(const char* tz);

 private:
  struct Kind {
    int32_t offset = 0;  // seconds east of UTC
    bool daylight = false;
    size_t name = 0;  // index into names_
  };

  std::vector<int64_t> changes_;      // instants where an offset starts, ascending
  std::vector<uint8_t> change_kind_;  // index into kinds_, one per change
  std::vector<Kind> kinds_;
  std::string names_;  // zone abbreviations, each ended by a NUL
};

}  // namespace qx::platform
