#include "pim/appointment_headers.h"

#include <iterator>

#include "frame/number_text.h"

namespace qx {

namespace {

constexpr AppointmentHeader kSubject{"Subject", "SUBJECT"};
constexpr AppointmentHeader kLabel{"X-QXLabel", "LABEL"};
constexpr AppointmentHeader kStartTime{"X-StartTime", kStartTimeAttribute, true};
constexpr AppointmentHeader kFinishTime{"X-FinishTime", kFinishTimeAttribute, true};
constexpr AppointmentHeader kLocation{"X-Location", "LOCATION"};
constexpr AppointmentHeader kAttendees{"X-Attendees", "ATTENDEES"};
constexpr AppointmentHeader kOptionalAttendees{"X-OptionalAttendees", "OPTIONALATTENDEES"};
constexpr AppointmentHeader kResources{"X-Resources", "RESOURCES"};
constexpr AppointmentHeader kClass{"X-Class", "CLASS"};
constexpr AppointmentHeader kIsRecurring{"X-IsRecurring", "ISRECURRING"};
constexpr AppointmentHeader kImportance{"X-Importance", "IMPORTANCE"};
constexpr AppointmentHeader kBusyStatus{"X-BusyStatus", "BUSYSTATUS"};
constexpr AppointmentHeader kAllDayEvent{"X-AllDayEvent", "ALLDAYEVENT"};
constexpr AppointmentHeader kRecurrenceType{"X-RecurrenceType", "RECURRENCETYPE"};
constexpr AppointmentHeader kRecurrenceState{"X-RecurrenceState", "RECURRENCESTATE"};
constexpr AppointmentHeader kRecurrenceInstance{"X-RecurrenceInstance", "RECURRENCEINSTANCE"};
constexpr AppointmentHeader kRecurrenceInterval{"X-RecurrenceInterval", "RECURRENCEINTERVAL"};
constexpr AppointmentHeader kReminderSet{"X-ReminderSet", "REMINDERSET"};
constexpr AppointmentHeader kNoEndDate{"X-NoEndDate", "NOENDDATE"};
constexpr AppointmentHeader kPatternStartDate{"X-PatternStartDate", "PATTERNSTARTDATE"};
constexpr AppointmentHeader kPatternEndDate{"X-PatternEndDate", "PATTERNENDDATE"};
constexpr AppointmentHeader kReminderMinutes{"X-ReminderMinutesBeforeStart",
                                             "REMINDERMINUTESBEFORESTART"};
constexpr AppointmentHeader kOccurrences{"X-Occurences", "OCCURRENCES"};
constexpr AppointmentHeader kDayOfMonth{"X-RecurrenceDayOfMonth", "RECURRENCEDAYOFMONTH"};
constexpr AppointmentHeader kDayOfWeekMask{"X-RecurrenceDayOfWeekMask", "RECURRENCEDAYOFWEEKMASK"};
constexpr AppointmentHeader kMonthOfYear{"X-RecurrenceMonthOfYear", "RECURRENCEMONTHOFYEAR"};

constexpr AppointmentHeader kIndexedValues[] = {
    kSubject,           kLabel,           kLocation,           kAttendees,
    kOptionalAttendees, kResources,       kClass,              kIsRecurring,
    kImportance,        kBusyStatus,      kAllDayEvent,        kRecurrenceType,
    kRecurrenceState,   kRecurrenceInstance, kRecurrenceInterval, kReminderSet,
    kNoEndDate,         kPatternStartDate, kPatternEndDate,    kReminderMinutes,
    kOccurrences,       kDayOfMonth,      kDayOfWeekMask,      kMonthOfYear,
};

constexpr AppointmentHeader kRewritten[] = {
    kSubject,         kStartTime,          kFinishTime,        kLocation,
    kAttendees,       kOptionalAttendees,  kResources,         kClass,
    kIsRecurring,     kImportance,         kBusyStatus,        kAllDayEvent,
    kRecurrenceType,  kRecurrenceState,    kRecurrenceInstance, kRecurrenceInterval,
    kReminderSet,     kNoEndDate,          kPatternStartDate,  kPatternEndDate,
    kReminderMinutes, kOccurrences,        kDayOfMonth,        kDayOfWeekMask,
    kMonthOfYear,
};

constexpr AppointmentHeader kNewMessage[] = {
    kSubject,           kStartTime,        kFinishTime,      kLocation,
    kAttendees,         kRecurrenceInterval, kRecurrenceType, kRecurrenceInstance,
    kRecurrenceState,   kAllDayEvent,      kBusyStatus,      kImportance,
    kIsRecurring,       kResources,        kClass,           kOptionalAttendees,
    kReminderSet,       kNoEndDate,        kPatternStartDate, kPatternEndDate,
    kReminderMinutes,   kOccurrences,      kDayOfMonth,      kDayOfWeekMask,
    kMonthOfYear,
};

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
std::span<const AppointmentHeader> RewrittenHeaders() { return kRewritten; }
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
