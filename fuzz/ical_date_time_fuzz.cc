// Arbitrary bytes as an iCalendar date-time text and an offset through the
// date-time parser. Input: offset\0text.
// Checks: a moment that parses lies before 30828; the moment is the text's
// local time less the offset (the same text read as GMT); and that moment,
// written back in the basic and the extended form, reads as itself.

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include "fuzz_support.h"
#include "pim/ical_date_time.h"

namespace {

// The FILETIME of 30828-01-01: no four-digit year reaches it.
constexpr uint64_t kLastFileTime = 9223371894455000000ull;
constexpr int64_t kTicksPerSecond = 10'000'000;

void CheckWrittenBack(uint64_t file_time) {
  const qx::CivilTime civil = qx::CivilFromFileTime(file_time);
  char basic[64];
  char extended[64];
  std::snprintf(basic, sizeof basic, "%04" PRId64 "%02u%02uT%02u%02u%02u", civil.year, civil.month, civil.day,
                civil.hour, civil.minute, civil.second);
  std::snprintf(extended, sizeof extended, "%04" PRId64 "-%02u-%02uT%02u:%02u:%02u", civil.year, civil.month,
                civil.day, civil.hour, civil.minute, civil.second);
  if (qx::ICal_ParseDateTime(basic, "GMT") != file_time) __builtin_trap();
  if (qx::ICal_ParseDateTime(extended, "GMT") != file_time) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qx::fuzz::StartScratchStore();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto parts = qx::fuzz::SplitInput(qx::fuzz::AsText(data, size), 2);
  const std::string_view offset = parts[0];
  const std::string_view text = parts[1];

  const std::optional<uint64_t> own = qx::ICal_ParseDateTime(text);
  if (own && *own > kLastFileTime) __builtin_trap();
  const std::optional<uint64_t> local = qx::ICal_ParseDateTime(text, "GMT");
  if (!local) return 0;
  if (*local > kLastFileTime) __builtin_trap();
  CheckWrittenBack(*local);

  if (!offset.empty()) {
    const int64_t expected = static_cast<int64_t>(*local) - qx::UtcOffsetSeconds(offset) * kTicksPerSecond;
    const std::optional<uint64_t> shifted = qx::ICal_ParseDateTime(text, offset);
    if (shifted.has_value() != (expected >= 0)) __builtin_trap();
    if (shifted && static_cast<int64_t>(*shifted) != expected) __builtin_trap();
  }
  return 0;
}
