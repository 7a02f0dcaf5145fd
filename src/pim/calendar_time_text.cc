#include "pim/calendar_time_text.h"

#include <cstdint>

#include "frame/number_text.h"
#include "message/date_text.h"
#include "message/message_date.h"
#include "platform/civil_date.h"

namespace qx {

namespace {

int Within(int value, int low, int high, int fallback) {
  return value >= low && value <= high ? value : fallback;
}

}  // namespace

std::string AppointmentTimeText(int32_t unix_seconds) { return DisplayDateFromUnixTime(unix_seconds); }

std::optional<int64_t> UnixSecondsFromTimeText(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  constexpr size_t npos = std::string_view::npos;
  const size_t colon = text.find(':');
  const size_t blank1 = colon == npos ? npos : text.find(' ', colon);
  const size_t blank2 = blank1 == npos ? npos : text.find(' ', blank1 + 1);
  const size_t comma = blank2 == npos ? npos : text.find(',', blank2 + 1);
  if (comma == npos) return std::nullopt;

  std::string_view clock = text.substr(colon + 1, blank1 - colon - 1);
  const size_t second_colon = clock.find(':');
  const int hour = Within(LeadingInt32(text.substr(0, colon)), 0, 24, 0);
  const int minute = Within(LeadingInt32(clock.substr(0, second_colon)), 0, 59, 0);
  const int second =
      second_colon == npos ? 0 : Within(LeadingInt32(clock.substr(second_colon + 1)), 0, 59, 0);
  const int day = Within(LeadingInt32(text.substr(blank1 + 1, blank2 - blank1 - 1)), 1, 31, 1);
  const int month = MonthFromName(text.substr(blank2 + 1, comma - blank2 - 1));
  const int year = ExpandMessageYear(LeadingInt32(text.substr(comma + 1)));

  const int64_t days = platform::DaysFromCivil(year, static_cast<unsigned>(month),
                                               static_cast<unsigned>(day));
  return days * platform::kSecondsPerDay + hour * 3600 + minute * 60 + second;
}

std::optional<std::string> StoreDateTextFromTimeText(std::string_view text) {
  const std::optional<int64_t> seconds = UnixSecondsFromTimeText(text);
  // FILETIME runs from 1601 for 2^63 ticks.
  constexpr int64_t kLastSecond = INT64_MAX / static_cast<int64_t>(platform::kTicksPerSecond) -
                                  platform::kSecondsFrom1601To1970;
  if (!seconds || *seconds < -platform::kSecondsFrom1601To1970 || *seconds > kLastSecond) {
    return std::nullopt;
  }
  const uint64_t ticks =
      static_cast<uint64_t>(*seconds + platform::kSecondsFrom1601To1970) * platform::kTicksPerSecond;
  return StoreDateTextFromFileTime(ticks);
}

}  // namespace qx
