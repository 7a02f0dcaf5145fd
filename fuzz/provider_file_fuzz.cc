// Arbitrary bytes as a calendar provider file "Y11M03D15.CAL", read through
// the exported operations as other processes leave it: walked with
// AppointmentFindFirst/FindNext, then an entry added and removed again.
// Whatever the bytes, the walk must give every entry the text holds with
// NUL-terminated fields, each rewrite must keep every entry (identifiers
// compare by the part a rewrite keeps, see KeptPart), keep the previous
// text as .BAK, end without a line end and leave neither block nor
// temporary behind.

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "pim/appointment_records.h"
#include "pim/provider_file_format.h"
#include "platform/text_compare.h"
#include "qxstore.h"

namespace {

using qx::fuzz::ReadBytes;

constexpr char kBucket[] = "Y11M03D15";
constexpr char kAdded[] = "FUZZADDED.MAI";
constexpr size_t kRecordIdentifier = sizeof(APPOINTMENTRECORD::identifier) - 1;

std::string g_calendar;

std::string BucketFile(const char* extension) { return g_calendar + "/" + kBucket + extension; }

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

APPOINTMENTRECORD Record(std::string_view identifier) {
  APPOINTMENTRECORD record =
      qx::MakeAppointmentRecord("PO", "FUZZ", {1300179600, 1300183200, std::string(identifier)});
  std::strcpy(record.bucket, kBucket);
  return record;
}

bool Terminated(const char* field, size_t size) { return std::memchr(field, '\0', size) != nullptr; }

// The part of an identifier a rewrite keeps: what a record carries, less
// the CRs at its end. A foreign line "x\r\r\n" holds the identifier "x\r",
// and once written back with a line after it, its last CR reads as part of
// the line end: such an identifier cannot name a message, as no add takes
// an identifier with a CR.
std::string_view KeptPart(std::string_view identifier) {
  identifier = identifier.substr(0, kRecordIdentifier);
  while (!identifier.empty() && identifier.back() == '\r') identifier.remove_suffix(1);
  return identifier;
}

bool SameEntries(const std::vector<qx::ProviderLine>& a, const std::vector<qx::ProviderLine>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const qx::ProviderEntry& x = a[i].entry;
    const qx::ProviderEntry& y = b[i].entry;
    if (x.start != y.start || x.end != y.end) return false;
    if (KeptPart(x.identifier) != KeptPart(y.identifier)) return false;
  }
  return true;
}

// Every entry once, in the file's order, as a walk with an empty identifier
// gives them.
void CheckWalk(const std::vector<qx::ProviderLine>& expected) {
  APPOINTMENTRECORD record = Record("");
  size_t seen = 0;
  for (uint32_t found = AppointmentFindFirst(&record); found == 1; found = AppointmentFindNext(&record)) {
    if (!Terminated(record.identifier, sizeof record.identifier) ||
        !Terminated(record.bucket, sizeof record.bucket) || seen >= expected.size()) {
      __builtin_trap();
    }
    const qx::ProviderEntry& entry = expected[seen++].entry;
    // The record carries the identifier up to its field's size or a NUL.
    std::string_view carried = std::string_view(entry.identifier).substr(0, kRecordIdentifier);
    carried = carried.substr(0, carried.find('\0'));
    if (record.start != entry.start || record.end != entry.end || record.identifier != carried) __builtin_trap();
    record.identifier[0] = '\0';
  }
  if (seen != expected.size()) __builtin_trap();
}

// What must hold after every rewrite of the bucket.
void CheckRewritten(const std::string& before) {
  if (ReadBytes(BucketFile(".BAK")) != before) __builtin_trap();
  if (Exists(BucketFile(".BLK")) || Exists(BucketFile(".TMP"))) __builtin_trap();
  const std::string after = ReadBytes(BucketFile(".CAL"));
  if (!after.empty() && after.back() == '\n') __builtin_trap();
}

bool Holds(const std::vector<qx::ProviderLine>& lines, std::string_view identifier) {
  for (const qx::ProviderLine& line : lines) {
    if (qx::platform::EqualsNoCase(line.entry.identifier, identifier)) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qx::fuzz::StartScratchStore();
  g_calendar = qx::fuzz::MailRoot() + "/PO/MAILROOT/FUZZ/Calendar";
  qx::fuzz::MakeDirectories(g_calendar);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qx::fuzz::EmptyDirectory(g_calendar);
  const std::string_view text = qx::fuzz::AsText(data, size);
  qx::fuzz::WriteBytes(BucketFile(".CAL"), text);
  const std::vector<qx::ProviderLine> original = qx::ParseProviderText(text);
  CheckWalk(original);

  APPOINTMENTRECORD added = Record(kAdded);
  const bool present = Holds(original, kAdded);
  if (AppointmentAdd(&added) != (present ? 0u : 1u)) __builtin_trap();
  const std::string after_add = ReadBytes(BucketFile(".CAL"));
  CheckRewritten(std::string(text));
  std::vector<qx::ProviderLine> expected = original;
  if (!present) expected.push_back({0, qx::EntryOfRecord(added)});
  if (!SameEntries(qx::ParseProviderText(after_add), expected)) __builtin_trap();

  if (AppointmentRemove(&added) != 1) __builtin_trap();
  CheckRewritten(after_add);
  std::vector<qx::ProviderLine> kept;
  for (const qx::ProviderLine& line : original) {
    if (!qx::platform::EqualsNoCase(line.entry.identifier, kAdded)) kept.push_back(line);
  }
  if (kept.empty() != !Exists(BucketFile(".CAL"))) __builtin_trap();
  if (!SameEntries(qx::ParseProviderText(ReadBytes(BucketFile(".CAL"))), kept)) __builtin_trap();
  return 0;
}
