// libFuzzer target: arbitrary bytes as iCalendar text through the line
// reader (every key form, both decoding modes, UTF-16), the date-time
// parser (with and without an offset), the recurrence parser, and a whole
// feed walk reading every kind of property with the text's own VTIMEZONE.
// Checks what must hold for any input: a found value never holds an
// unfolded line break, a UTF-16 value has an even size ending in two NULs,
// and a date-time that parses lies between 1601 and 30828.

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "pim/ical_date_time.h"
#include "pim/ical_feed.h"
#include "pim/ical_lines.h"
#include "pim/ical_property.h"
#include "pim/ical_recurrence.h"

namespace {

constexpr const char* kKeys[] = {"SUMMARY", "DTSTART", "DESCRIPTION", "FREEBUSY;FBTYPE=BUSY", "RRULE",
                                 "X:", ""};
constexpr const char* kProperties[] = {
    "PR_SUBJECT",          "PR_SUBJECT_W",          "PR_START_DATE",          "PR_END_DATE_ALLDAY",
    "PR_BODY_W",           "PR_SENSITIVITY",        "PR_BNP_AllDayEvent",     "PR_BNP_BusyStatus",
    "PR_BNP_IsRecurring",  "PR_BNP_RecurrenceType", "PR_BNP_PatternEndDate",  "PR_BNP_FB_Tentative"};
// The FILETIME of 30828-01-01: nothing parsed may lie beyond it.
constexpr uint64_t kLastFileTime = 9223371894455000000ull;

void CheckValue(std::string_view text, const char* key, int mode, bool wide) {
  std::string value;
  bool is_wide = false;
  const int result = qx::ICal_GetDecodedValue(text, key, &value, true, mode, wide, &is_wide);
  if (result < 0 || result > 2) __builtin_trap();
  if (is_wide && value.size() % 2 != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("QXSTORE_DIAG", "off", 1);
  setenv("QXSTORE_REGISTRY", "/nonexistent/registry.reg", 1);
  setenv("TZ", "UTC", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  for (const char* key : kKeys) {
    std::string raw;
    const int result = qx::ICal_GetValue(text, key, &raw);
    if (result == qx::kICalValueNotFound && !raw.empty()) __builtin_trap();
    CheckValue(text, key, qx::kICalDecodeBytes, true);
    CheckValue(text, key, qx::kICalDecodeEncodedWords, false);
  }

  for (std::string_view offset : {std::string_view(), std::string_view("+0530"), text.substr(0, 7)}) {
    if (const std::optional<uint64_t> file_time = qx::ICal_ParseDateTime(text, offset)) {
      if (*file_time > kLastFileTime) __builtin_trap();
    }
  }
  qx::CivilTime start;
  start.year = 2024;
  start.month = 2;
  start.day = 29;
  const qx::RecurrenceRecord rule = qx::ICal_ParseRecurrence(text, start);
  if (rule.has_end != 0 && rule.has_end != 1) __builtin_trap();

  qx::ICalFeed feed;
  feed.OpenText(std::string(text));
  int events = 0;
  for (bool found = feed.FirstItem(); found && events < 64; found = feed.NextItem(), ++events) {
    for (const char* name : kProperties) {
      const qx::ICalPropertyValue value = qx::ICal_GetProperty(feed, name);
      if (value.result == 2 && value.is_wide &&
          (value.bytes.size() % 2 != 0 || value.bytes.size() < 2 || value.bytes.back() != '\0')) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
