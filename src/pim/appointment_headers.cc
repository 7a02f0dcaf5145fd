#include "pim/appointment_headers.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "frame/number_text.h"

namespace qx {

namespace {

// Every header, in the order a header rewrite adds the ones a message lacks;
// X-QXLabel, which indexing reads and saving never writes, last.
constexpr AppointmentHeader kHeaders[] = {
    {"Subject", "SUBJECT"},
    {"X-StartTime", kStartTimeAttribute, true},
    {"X-FinishTime", kFinishTimeAttribute, true},
    {"X-Location", "LOCATION"},
    {"X-Attendees", "ATTENDEES"},
    {"X-OptionalAttendees", "OPTIONALATTENDEES"},
    {"X-Resources", "RESOURCES"},
    {"X-Class", "CLASS"},
    {"X-IsRecurring", "ISRECURRING"},
    {"X-Importance", "IMPORTANCE"},
    {"X-BusyStatus", "BUSYSTATUS"},
    {"X-AllDayEvent", "ALLDAYEVENT"},
    {"X-RecurrenceType", "RECURRENCETYPE"},
    {"X-RecurrenceState", "RECURRENCESTATE"},
    {"X-RecurrenceInstance", "RECURRENCEINSTANCE"},
    {"X-RecurrenceInterval", "RECURRENCEINTERVAL"},
    {"X-ReminderSet", "REMINDERSET"},
    {"X-NoEndDate", "NOENDDATE"},
    {"X-PatternStartDate", "PATTERNSTARTDATE"},
    {"X-PatternEndDate", "PATTERNENDDATE"},
    {"X-ReminderMinutesBeforeStart", "REMINDERMINUTESBEFORESTART"},
    {"X-Occurences", "OCCURRENCES"},
    {"X-RecurrenceDayOfMonth", "RECURRENCEDAYOFMONTH"},
    {"X-RecurrenceDayOfWeekMask", "RECURRENCEDAYOFWEEKMASK"},
    {"X-RecurrenceMonthOfYear", "RECURRENCEMONTHOFYEAR"},
    {"X-QXLabel", "LABEL"},
};
constexpr size_t kRewrittenCount = std::size(kHeaders) - 1;

// The headers named, in the order named; a name not in kHeaders stops the build.
template <size_t N>
constexpr std::array<AppointmentHeader, N> InOrder(const std::string_view (&names)[N]) {
  std::array<AppointmentHeader, N> ordered{};
  for (size_t i = 0; i < N; ++i) {
    const AppointmentHeader* found = std::find_if(std::begin(kHeaders), std::end(kHeaders),
                                                  [&](const AppointmentHeader& header) { return header.name == names[i]; });
    if (found == std::end(kHeaders)) throw "unknown appointment header";
    ordered[i] = *found;
  }
  return ordered;
}

// Indexing tries Subject and X-QXLabel first, then the rewritten headers
// from X-Location on.
constexpr auto kIndexedValues = InOrder({
    "Subject", "X-QXLabel", "X-Location", "X-Attendees", "X-OptionalAttendees", "X-Resources", "X-Class",
    "X-IsRecurring", "X-Importance", "X-BusyStatus", "X-AllDayEvent", "X-RecurrenceType", "X-RecurrenceState",
    "X-RecurrenceInstance", "X-RecurrenceInterval", "X-ReminderSet", "X-NoEndDate", "X-PatternStartDate",
    "X-PatternEndDate", "X-ReminderMinutesBeforeStart", "X-Occurences", "X-RecurrenceDayOfMonth",
    "X-RecurrenceDayOfWeekMask", "X-RecurrenceMonthOfYear"});

constexpr auto kNewMessage = InOrder({
    "Subject", "X-StartTime", "X-FinishTime", "X-Location", "X-Attendees", "X-RecurrenceInterval",
    "X-RecurrenceType", "X-RecurrenceInstance", "X-RecurrenceState", "X-AllDayEvent", "X-BusyStatus",
    "X-Importance", "X-IsRecurring", "X-Resources", "X-Class", "X-OptionalAttendees", "X-ReminderSet",
    "X-NoEndDate", "X-PatternStartDate", "X-PatternEndDate", "X-ReminderMinutesBeforeStart", "X-Occurences",
    "X-RecurrenceDayOfMonth", "X-RecurrenceDayOfWeekMask", "X-RecurrenceMonthOfYear"});

}  // namespace

// Indexing looks for these names by their first three letters.
constexpr bool NamesBeginWithXOrS(std::span<const AppointmentHeader> headers) {
  for (const AppointmentHeader& header : headers) {
    if (header.name.size() < 3) return false;
    if (!header.name.starts_with("X-") && header.name.front() != 'S') return false;
  }
  return true;
}
static_assert(NamesBeginWithXOrS(kIndexedValues));
static_assert(std::size(kIndexedValues) <= 32);

std::span<const AppointmentHeader> IndexedValueHeaders() { return kIndexedValues; }
std::span<const AppointmentHeader> RewrittenHeaders() { return std::span(kHeaders).first(kRewrittenCount); }
std::span<const AppointmentHeader> NewMessageHeaders() { return kNewMessage; }

namespace {

int32_t TimeOf(pugi::xml_node element, const char* time_attribute, const char* entry_attribute) {
  const char* text = AttributeValue(element, time_attribute);
  if (text == nullptr) text = AttributeValue(element, entry_attribute);
  return text == nullptr ? 0 : LeadingInt32(text);
}

}  // namespace

int32_t ElementStart(pugi::xml_node element) {
  return TimeOf(element, kStartTimeAttribute, kStartAttribute);
}

int32_t ElementEnd(pugi::xml_node element) {
  return TimeOf(element, kFinishTimeAttribute, kEndAttribute);
}

}  // namespace qx
