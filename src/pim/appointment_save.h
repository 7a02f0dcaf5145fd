#pragma once
// Saving an appointment (Appointment_Save): its index element is the
// truth being saved, and the message file and the provider files are
// brought in step with it.
//
// The provider entry moves with the times: the message's X-StartTime and
// X-FinishTime as they were on disk are the old times; the element's
// STARTIME and FINISHTIME (or START and END) the new ones. Mismatches
// between the provider files and the message only print warnings; the
// message is written all the same.
//
// Messages are rewritten through "_<ID>" in the folder and the durable
// replace (platform/durable_replace.h): a failed write leaves the message
// as it was.

#include <cstdint>

#include "store/item_kinds.h"

namespace qx {

// Saves the item: creates the folder directory when missing; mirrors the
// times into the provider files (AppointmentRemove of the old entry and
// AppointmentAdd of the new one when both old times are there and differ;
// AppointmentAdd alone when the message has not both; nothing when they
// are unchanged; a result other than 1 prints "Warning: Appointment data
// does not match appointment provider\n", "Warning: Could not create move
// target appointment in provider\n" or "Warning: Could not create new
// appointment in provider\n"); then rewrites the message's headers, or
// writes a new message when there is none. 1; 0 when the item has no
// element or its ID is empty or not a plain file name.
uint32_t Appointment_Save(const ItemRef& item);

// Rewrites the headers of the existing message "<folder>\<ID>" from the
// element: each written header (RewrittenHeaders) is replaced by
// "%s: %s\r\n" with the element's value (times as appointment time texts),
// or dropped with its continuation lines when the element has no value;
// other header lines are kept, each ended with CR LF; the written headers
// the message lacked follow in RewrittenHeaders' order before the empty
// line; the body is copied unchanged. Header lines are read whole, so a
// long one is never split. A message without an empty line gets one after
// its headers. CR and LF inside a value become blanks, so a value cannot
// add header lines. A file that cannot be opened prints "Unable to open %s.
// Error=%ld\n" with its path and the system error; the message is then
// unchanged. True when the message was replaced.
bool Appointment_RewriteHeaders(const ItemRef& item);

// Writes the new message "<folder>\<ID>" from the element: the written
// headers it has values for, in NewMessageHeaders' order, then either an
// empty line and the BODY text, or, when it carries a VCALENDAR text, a
// multipart/mixed body on the fixed boundary "----------677C251E373B0A"
// with a text/plain part holding the BODY text and a text/calendar part
// holding the calendar text. True when written.
bool Appointment_WriteMessage(const ItemRef& item);

}  // namespace qx
