#pragma once
// The index element of one appointment (Appointment_IndexMessage): built
// from its provider entry and its message file's header block, so that the
// Calendar folder's index lists every appointment with what listings show
// (subject, location, times) without opening the messages.
//
// Attributes, in the order they are created: ID, START and END (the
// provider entry's), MODIFIEDDATE (the file's packed DOS date and time,
// signed decimal), then one per header as the header lines come:
//  - "From: " gives FROM (at most 511 characters, one trailing blank
//    dropped; "Unknown" for a line of 512 characters or more);
//  - each header of IndexedValueHeaders found anywhere in a line (any case)
//    and directly followed by ':' gives its attribute, the rest of the line
//    after the ':' and any blanks;
//  - "X-Read: 1" gives READ "1"; "Date: " gives DATE and CREATED;
//  - the first "Received: " line gives RECEIVED from the date after its
//    first "; ", unless a "Date: " line came first and gave it;
//  - "X-QXReminderTime: ", "X-QXRecurrenceRangeStart: ",
//    "X-QXRecurrenceRangeEnd: " and "X-QXDueBy: " give REMINDERTIME,
//    RECURRENCESTART, RECURRENCEEND and DUEBY as store date text;
//  - "X-StartTime: " and "X-FinishTime: " give STARTIME and FINISHTIME in
//    Unix seconds (a time beyond the 32-bit range gives none).
// Dates convert as message dates do (message/message_date.h). A later line
// for an attribute replaces its value. Header lines are read in pieces of
// at most 2046 characters, up to the end of the file or the first empty
// line, as other programs read them: a longer line's rest is taken as a
// line of its own.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pim/provider_file_format.h"
#include "platform/file.h"
#include "qxstore.h"
#include "xml/xml_document.h"

namespace qx {

// Appends the element of `entry` (mailbox, postoffice, start, end and
// identifier; the bucket is not read) to `root`, from the message file
// "<mail root>\<postoffice>\MAILROOT\<mailbox>\Calendar\<identifier>".
// Empty, and nothing appended, when the file cannot be opened or the names
// would lead out of the store.
pugi::xml_node Appointment_IndexMessage(const XmlDocument& document, pugi::xml_node root,
                                        const APPOINTMENTRECORD& entry);

// The same from the message file at `path`.
pugi::xml_node BuildAppointmentElement(pugi::xml_node root, const ProviderEntry& entry,
                                       std::string_view path);

// The same from the message file `entry.identifier` of the Calendar folder
// `folder` (its path `folder_path`), kept open by a caller that indexes
// many: a rebuild opens each message without walking the whole path.
pugi::xml_node BuildAppointmentElement(pugi::xml_node root, const ProviderEntry& entry,
                                       const platform::Directory& folder, std::string_view folder_path);

// What a message file's header block gives its element, read apart from
// any document so that many messages can be read on helper threads while
// one thread builds their elements in order.
struct AppointmentMessage {
  struct Attribute {
    const char* name = nullptr;
    uint32_t offset = 0;  // of the value in `text`
    uint32_t size = 0;
  };
  bool opened = false;  // false: the file could not be opened, no element
  uint32_t stamp = 0;   // MODIFIEDDATE
  std::vector<Attribute> attributes;  // in the order they are created
  std::string text;
};

// The message of `entry` in the open Calendar folder `folder` (its path
// `folder_path`); safe to call on several threads at once.
AppointmentMessage ReadAppointmentMessage(const ProviderEntry& entry, const platform::Directory& folder,
                                          std::string_view folder_path);

// Appends the element of `entry` from what its message gave; empty, and
// nothing appended, when the message could not be opened.
pugi::xml_node AppendAppointmentElement(pugi::xml_node root, const ProviderEntry& entry,
                                        const AppointmentMessage& message);

// X-StartTime and X-FinishTime of the message file at `path`, header lines
// read as above; each missing when the file or the header is, or when its
// time text does not read.
struct AppointmentTimes {
  std::optional<int64_t> start;
  std::optional<int64_t> finish;
};
AppointmentTimes ReadAppointmentTimes(std::string_view path);

}  // namespace qx
