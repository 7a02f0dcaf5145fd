#pragma once
// The headers an appointment message carries its fields in, and the index
// attributes they become: which headers indexing reads, and in which order
// saving writes them back. Other programs read these messages and their
// index, so names and orders are fixed (note "X-Occurences", whose
// attribute is OCCURRENCES).

#include <cstdint>
#include <span>
#include <string_view>

#include "xml/xml_document.h"

namespace qx {

// Attributes of an appointment's index element besides those below.
inline constexpr const char* kStartAttribute = "START";       // the provider entry's start
inline constexpr const char* kEndAttribute = "END";           // and end, Unix seconds
inline constexpr const char* kStartTimeAttribute = "STARTIME";  // X-StartTime, Unix seconds
inline constexpr const char* kFinishTimeAttribute = "FINISHTIME";
inline constexpr const char* kModifiedDateAttribute = "MODIFIEDDATE";
// The message's text body and calendar part while the message file does
// not exist yet: a new message is written from them.
inline constexpr const char* kBodyAttribute = "BODY";
inline constexpr const char* kCalendarAttribute = "VCALENDAR";

struct AppointmentHeader {
  std::string_view name;  // "X-Location"
  const char* attribute;  // "LOCATION"
  bool is_time = false;   // an appointment time text held as Unix seconds
};

// The text and decimal headers that indexing reads into attributes, in the
// order it tries them on every header line: Subject, X-QXLabel, X-Location
// and the rest to X-RecurrenceMonthOfYear (not the times).
std::span<const AppointmentHeader> IndexedValueHeaders();

// The headers saving writes from attributes, in the order a header rewrite
// adds the ones a message lacks: Subject, X-StartTime, X-FinishTime,
// X-Location, X-Attendees, X-OptionalAttendees, ... X-RecurrenceMonthOfYear.
std::span<const AppointmentHeader> RewrittenHeaders();

// The same headers in the order a new message is written with them:
// Subject, X-StartTime, X-FinishTime, X-Location, X-Attendees,
// X-RecurrenceInterval, ... X-RecurrenceMonthOfYear.
std::span<const AppointmentHeader> NewMessageHeaders();

// The appointment's times as saving and deleting take them: STARTIME, or
// START when the element has none; FINISHTIME, or END. Read as atol reads
// them; 0 when neither is there.
int32_t ElementStart(pugi::xml_node element);
int32_t ElementEnd(pugi::xml_node element);

}  // namespace qx
