#pragma once
// The local work of the exported provider operations on their 648-byte
// appointment records (APPOINTMENTRECORD, qxstore.h): the record's names
// and bucket name the provider file, its identifier and times the entry.
// Text fields are read up to their NUL or the end of the field, so a
// record without a NUL is read safely; fields filled in are NUL-terminated
// within their size.

#include <cstdint>
#include <string_view>

#include "pim/calendar_bucket.h"
#include "pim/provider_file_format.h"
#include "qxstore.h"

namespace qx {

// The bucket and the entry a record names.
CalendarBucket BucketOfRecord(const APPOINTMENTRECORD& record);
ProviderEntry EntryOfRecord(const APPOINTMENTRECORD& record);

// A record for an entry of a mailbox, its bucket computed from the times
// (AppointmentBucketKey). Names and identifier are cut to their fields.
APPOINTMENTRECORD MakeAppointmentRecord(std::string_view postoffice, std::string_view mailbox,
                                        const ProviderEntry& entry);

// The operations of provider_operations.h and provider_find.h; 0 at once
// for a null record or an empty postoffice name. Get and the finds copy the
// entry found into the record (the identifier cut to 63 characters).
uint32_t LocalAppointmentAdd(APPOINTMENTRECORD* entry);
uint32_t LocalAppointmentRemove(APPOINTMENTRECORD* entry);
uint32_t LocalAppointmentEdit(APPOINTMENTRECORD* old_entry, APPOINTMENTRECORD* new_entry);
uint32_t LocalAppointmentGet(APPOINTMENTRECORD* entry);
uint32_t LocalAppointmentFindFirst(APPOINTMENTRECORD* entry);
uint32_t LocalAppointmentFindNext(APPOINTMENTRECORD* entry);

}  // namespace qx
