#include "message/message_date.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <utility>
#include <cstdio>
#include <ctime>

#include "frame/number_text.h"
#include "platform/text_compare.h"
#include "platform/local_time.h"

namespace qx {

using platform::EqualsNoCase;

namespace {

constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr size_t kTokenLimit = 31;

// Walks the date text token by token; each token ends at its delimiter.
class DateTokens {
 public:
  explicit DateTokens(std::string_view text) : rest_(text) {}

  // The text up to `delimiter` (held to 31 characters); the position moves
  // past the delimiter. False when the delimiter does not occur.
  bool Take(char delimiter, std::string_view* token) {
    size_t end = rest_.find(delimiter);
    if (end == std::string_view::npos) return false;
    *token = rest_.substr(0, end < kTokenLimit ? end : kTokenLimit);
    rest_.remove_prefix(end + 1);
    return true;
  }

  // The rest up to the next blank, or all of it.
  std::string_view TakeLast() {
    std::string_view token = rest_.substr(0, rest_.find(' '));
    return token.substr(0, token.size() < kTokenLimit ? token.size() : kTokenLimit);
  }

 private:
  std::string_view rest_;
};

struct DateFields {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  std::string_view zone;
};

// Weekday and comma, when present, are skipped; an empty token right after
// the comma (the usual "Tue, 01") gives way to the next one.
bool TakeDay(std::string_view text, DateTokens* tokens, std::string_view* day) {
  size_t comma = text.size() > 1 ? text.find(',', 1) : std::string_view::npos;
  if (comma == std::string_view::npos) return tokens->Take(' ', day);
  *tokens = DateTokens(text.substr(comma + 1));
  if (!tokens->Take(' ', day)) return false;
  if (day->empty() && !tokens->Take(' ', day)) return false;
  return true;
}

int Within(int value, int low, int high, int fallback) {
  return value < low || value > high ? fallback : value;
}

std::optional<DateFields> SplitDate(std::string_view text) {
  DateTokens tokens(text);
  std::string_view day, month, year, hour, minute, second;
  if (!TakeDay(text, &tokens, &day)) return std::nullopt;
  if (!tokens.Take(' ', &month) || !tokens.Take(' ', &year) || !tokens.Take(':', &hour) ||
      !tokens.Take(':', &minute) || !tokens.Take(' ', &second)) {
    return std::nullopt;
  }
  DateFields fields;
  fields.day = Within(LeadingInt32(day), 1, 31, 1);
  fields.month = MonthFromName(month);
  fields.year = ExpandMessageYear(LeadingInt32(year));
  fields.hour = Within(LeadingInt32(hour), 0, 24, 0);
  fields.minute = Within(LeadingInt32(minute), 0, 59, 0);
  fields.second = Within(LeadingInt32(second), 0, 59, 0);
  fields.zone = tokens.TakeLast();
  return fields;
}

// Writes store date text into a MessageDateText.
class DateTextWriter {
 public:
  explicit DateTextWriter(MessageDateText* out) : out_(out) { out_->size = 0; }

  // "yyyy-mm-ddThh:mm:ss"; the year filled with `year_fill`. Formatted by
  // hand: the scan formats two dates per message.
  void Fields(long long year, int month, int day, int hour, int minute, int second, char year_fill) {
    Number(year, 4, year_fill);
    for (const auto& [separator, value] : {std::pair{'-', month}, std::pair{'-', day}, std::pair{'T', hour},
                                           std::pair{':', minute}, std::pair{':', second}}) {
      Put(separator);
      Number(value, 2, '0');
    }
  }

  void Tm(const std::tm& tm) {
    // A year near the largest int, carried over by a zone shift, passes it.
    Fields(static_cast<long long>(tm.tm_year) + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
           '0');
  }

 private:
  void Put(char c) { out_->bytes[out_->size++] = c; }

  // The number in at least `width` characters, as printf's %0Nd (fill '0')
  // and %Nd (fill ' ') give it: zeros go after a minus sign, blanks before.
  void Number(long long value, int width, char fill) {
    char digits[24];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    const char* start = digits;
    const int length = static_cast<int>(end - digits);
    if (value < 0 && fill == '0') {
      Put('-');
      ++start;
    }
    for (int i = length; i < width; ++i) Put(fill);
    for (const char* c = start; c != end; ++c) Put(*c);
  }

  MessageDateText* out_;
};

// "+0100" is 100: one hour; "-0130" is minus an hour and a half. Names other
// than GMT read as 0, as they always did.
long ZoneOffsetSeconds(std::string_view zone) {
  if (EqualsNoCase(zone, "GMT")) return 0;
  long value = LeadingInt32(zone);
  return (value / 100) * 3600L + (value % 100) * 60L;
}

}  // namespace

int MonthFromName(std::string_view name) {
  for (int i = 0; i < 12; ++i) {
    if (EqualsNoCase(name, kMonthNames[i])) return i + 1;
  }
  return 12;
}

const char* MonthName(int month) { return kMonthNames[(month >= 1 && month <= 12) ? month - 1 : 11]; }

int ExpandMessageYear(int year) {
  // Absurd years are held where the sums below and the caller's "- 1900"
  // stay within an int.
  year = std::max(year, std::numeric_limits<int>::min() + 1900);
  return year < 1901 ? year + 2000 : year;
}

bool ParseMessageDate(std::string_view text, MessageDateText* out) {
  std::optional<DateFields> fields = SplitDate(text);
  if (!fields) return false;

  DateTextWriter writer(out);
  std::tm tm{};
  tm.tm_year = fields->year - 1900;
  tm.tm_mon = fields->month - 1;
  tm.tm_mday = fields->day;
  tm.tm_hour = fields->hour;
  tm.tm_min = fields->minute;
  tm.tm_sec = fields->second;
  tm.tm_isdst = 0;
  std::optional<std::time_t> local_instant = platform::LocalInstantOf(&tm);
  if (!local_instant) {
    writer.Fields(fields->year, fields->month, fields->day, fields->hour, fields->minute, fields->second, ' ');
    return true;
  }
  std::time_t instant = *local_instant;
  if (tm.tm_isdst > 0) instant -= 3600;
  if (!fields->zone.empty()) {
    std::time_t in_utc = instant - ZoneOffsetSeconds(fields->zone);
    if (in_utc > 0) platform::LocalTimeOf(in_utc, &tm);
  }
  writer.Tm(tm);
  return true;
}

std::optional<std::string> ParseMessageDate(std::string_view text) {
  MessageDateText date;
  if (!ParseMessageDate(text, &date)) return std::nullopt;
  return std::string(date.view());
}

}  // namespace qx
