#include "platform/zone_table.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "platform/civil_date.h"
#include "platform/file.h"

namespace qx::platform {
namespace {

constexpr std::string_view kSystemZone = "/etc/localtime";
constexpr std::string_view kZoneDirectory = "/usr/share/zoneinfo/";

// Reads big-endian numbers from the file's bytes; failed() once a read ran
// past the end.
class BigEndianBytes {
 public:
  explicit BigEndianBytes(std::string_view bytes) : bytes_(bytes) {}

  int64_t Take(size_t width) {
    if (at_ + width > bytes_.size()) {
      failed_ = true;
      return 0;
    }
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i) value = value << 8 | static_cast<uint8_t>(bytes_[at_ + i]);
    at_ += width;
    // Sign-extended from its width: offsets and instants may be negative.
    const int shift = static_cast<int>(64 - 8 * width);
    return static_cast<int64_t>(value << shift) >> shift;
  }
  std::string_view TakeBytes(size_t count) {
    if (at_ + count > bytes_.size()) {
      failed_ = true;
      return {};
    }
    std::string_view taken = bytes_.substr(at_, count);
    at_ += count;
    return taken;
  }
  void Skip(size_t count) { TakeBytes(count); }
  bool failed() const { return failed_; }
  size_t left() const { return bytes_.size() - at_; }

 private:
  std::string_view bytes_;
  size_t at_ = 0;
  bool failed_ = false;
};

struct Counts {
  size_t utc_indicators = 0, standard_indicators = 0, leaps = 0, changes = 0, kinds = 0, name_bytes = 0;
};

bool ReadHeader(BigEndianBytes* bytes, char* version, Counts* counts) {
  if (bytes->TakeBytes(4) != "TZif") return false;
  const std::string_view version_byte = bytes->TakeBytes(1);
  *version = version_byte.empty() ? '\0' : version_byte.front();
  bytes->Skip(15);
  for (size_t* count : {&counts->utc_indicators, &counts->standard_indicators, &counts->leaps, &counts->changes,
                        &counts->kinds, &counts->name_bytes}) {
    *count = static_cast<size_t>(bytes->Take(4) & 0xFFFFFFFF);
  }
  return !bytes->failed();
}

}  // namespace

std::optional<ZoneTable> ZoneTable::Load(std::string_view path) {
  std::string contents;
  if (!ReadWholeFile(path, &contents)) return std::nullopt;
  BigEndianBytes bytes(contents);
  char version = 0;
  Counts counts;
  if (!ReadHeader(&bytes, &version, &counts) || version < '2') return std::nullopt;
  // The first block has 32-bit instants; the C library reads the second.
  bytes.Skip(counts.changes * 5 + counts.kinds * 6 + counts.name_bytes + counts.leaps * 8 +
             counts.standard_indicators + counts.utc_indicators);
  if (!ReadHeader(&bytes, &version, &counts) || counts.leaps != 0 || counts.kinds == 0 || counts.kinds > 256 ||
      counts.changes * 9 + counts.kinds * 6 + counts.name_bytes > bytes.left()) {
    return std::nullopt;
  }
  ZoneTable table;
  for (size_t i = 0; i < counts.changes; ++i) table.changes_.push_back(bytes.Take(8));
  for (size_t i = 0; i < counts.changes; ++i) table.change_kind_.push_back(static_cast<uint8_t>(bytes.Take(1)));
  for (size_t i = 0; i < counts.kinds; ++i) {
    Kind kind;
    kind.offset = static_cast<int32_t>(bytes.Take(4));
    kind.daylight = bytes.Take(1) != 0;
    kind.name = static_cast<size_t>(bytes.Take(1) & 0xFF);
    table.kinds_.push_back(kind);
  }
  table.names_ = std::string(bytes.TakeBytes(counts.name_bytes));
  table.names_.push_back('\0');
  if (bytes.failed() || !std::is_sorted(table.changes_.begin(), table.changes_.end())) return std::nullopt;
  for (const uint8_t kind : table.change_kind_) {
    if (kind >= table.kinds_.size()) return std::nullopt;
  }
  for (Kind& kind : table.kinds_) kind.name = std::min(kind.name, table.names_.size() - 1);
  return table;
}

bool ZoneTable::LocalFields(std::time_t instant, std::tm* fields) const {
  const Kind* kind = nullptr;
  if (changes_.empty()) {
    // A zone that never changes: its first standard kind, as the C library picks it.
    auto standard = std::find_if(kinds_.begin(), kinds_.end(), [](const Kind& k) { return !k.daylight; });
    kind = standard != kinds_.end() ? &*standard : &kinds_.front();
  } else {
    // From the last change on, the C library follows the zone's rule text.
    if (instant < changes_.front() || instant >= changes_.back()) return false;
    const size_t next = static_cast<size_t>(std::upper_bound(changes_.begin(), changes_.end(), instant) -
                                            changes_.begin());
    kind = &kinds_[change_kind_[next - 1]];
  }
  const DayAndSecond split = SplitUnixSeconds(static_cast<int64_t>(instant) + kind->offset);
  const CivilDate date = CivilFromDays(split.days);
  if (date.year - 1900 > INT_MAX || date.year - 1900 < INT_MIN) return false;
  std::tm local{};
  local.tm_year = static_cast<int>(date.year - 1900);
  local.tm_mon = static_cast<int>(date.month) - 1;
  local.tm_mday = static_cast<int>(date.day);
  local.tm_hour = static_cast<int>(split.second_of_day / 3600);
  local.tm_min = static_cast<int>(split.second_of_day / 60 % 60);
  local.tm_sec = static_cast<int>(split.second_of_day % 60);
  local.tm_wday = static_cast<int>(WeekdayFromDays(split.days));
  local.tm_yday = static_cast<int>(split.days - DaysFromCivil(date.year, 1, 1));
  local.tm_isdst = kind->daylight ? 1 : 0;
  local.tm_gmtoff = kind->offset;
  local.tm_zone = names_.c_str() + kind->name;
  *fields = local;
  return true;
}

std::string ZoneTable::FileForTz(const char* tz) {
  // The C library's own order: an empty TZ means UTC, a leading colon is
  // dropped, and what is left empty means the system's zone.
  std::string_view name = tz == nullptr ? std::string_view() : std::string_view(tz);
  if (tz != nullptr && name.empty()) name = "Universal";
  if (!name.empty() && name.front() == ':') name.remove_prefix(1);
  if (name.empty()) return std::string(kSystemZone);
  if (name.front() == '/') return std::string(name);
  const char* directory = std::getenv("TZDIR");
  if (directory != nullptr && *directory != '\0') return {};
  return std::string(kZoneDirectory) + std::string(name);
}

}  // namespace qx::platform
