#include "pim/appointment_records.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "pim/provider_find.h"
#include "pim/provider_operations.h"

namespace qx {

namespace {

template <size_t N>
std::string_view FieldText(const char (&field)[N]) {
  return std::string_view(field, strnlen(field, N));
}

template <size_t N>
void SetField(char (&field)[N], std::string_view text) {
  const size_t length = std::min(text.size(), N - 1);
  std::memcpy(field, text.data(), length);
  std::memset(field + length, 0, N - length);
}

bool Usable(const APPOINTMENTRECORD* entry) {
  return entry != nullptr && entry->postoffice[0] != '\0';
}

uint32_t Fill(APPOINTMENTRECORD* record, const std::optional<ProviderEntry>& found) {
  if (!found) return 0;
  record->start = found->start;
  record->end = found->end;
  SetField(record->identifier, found->identifier);
  return 1;
}

}  // namespace

CalendarBucket BucketOfRecord(const APPOINTMENTRECORD& record) {
  return {std::string(FieldText(record.postoffice)), std::string(FieldText(record.mailbox)),
          std::string(FieldText(record.bucket))};
}

ProviderEntry EntryOfRecord(const APPOINTMENTRECORD& record) {
  return {record.start, record.end, std::string(FieldText(record.identifier))};
}

APPOINTMENTRECORD MakeAppointmentRecord(std::string_view postoffice, std::string_view mailbox,
                                        const ProviderEntry& entry) {
  APPOINTMENTRECORD record{};
  SetField(record.postoffice, postoffice);
  SetField(record.mailbox, mailbox);
  record.start = entry.start;
  record.end = entry.end;
  SetField(record.identifier, entry.identifier);
  SetField(record.bucket, AppointmentBucketKey(entry.start, entry.end));
  return record;
}

uint32_t LocalAppointmentAdd(APPOINTMENTRECORD* entry) {
  if (!Usable(entry)) return 0;
  return AddProviderEntry(BucketOfRecord(*entry), EntryOfRecord(*entry));
}

uint32_t LocalAppointmentRemove(APPOINTMENTRECORD* entry) {
  if (!Usable(entry)) return 0;
  return RemoveProviderEntries(BucketOfRecord(*entry), FieldText(entry->identifier));
}

uint32_t LocalAppointmentEdit(APPOINTMENTRECORD* old_entry, APPOINTMENTRECORD* new_entry) {
  if (!Usable(old_entry) || new_entry == nullptr) return 0;
  return EditProviderEntries(BucketOfRecord(*old_entry), FieldText(old_entry->identifier),
                             EntryOfRecord(*new_entry));
}

uint32_t LocalAppointmentGet(APPOINTMENTRECORD* entry) {
  if (!Usable(entry)) return 0;
  return Fill(entry, GetProviderEntry(BucketOfRecord(*entry), FieldText(entry->identifier)));
}

uint32_t LocalAppointmentFindFirst(APPOINTMENTRECORD* entry) {
  if (!Usable(entry)) return 0;
  return Fill(entry, FindFirstProviderEntry(BucketOfRecord(*entry), FieldText(entry->identifier)));
}

uint32_t LocalAppointmentFindNext(APPOINTMENTRECORD* entry) {
  if (!Usable(entry)) return 0;
  return Fill(entry, FindNextProviderEntry(BucketOfRecord(*entry), FieldText(entry->identifier)));
}

}  // namespace qx
