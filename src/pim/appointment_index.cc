#include "pim/appointment_index.h"

#include <array>
#include <bit>
#include <cstring>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "frame/store_paths.h"
#include "index/index_format.h"
#include "message/item_file_name.h"
#include "message/message_date.h"
#include "message/message_line_reader.h"
#include "pim/appointment_headers.h"
#include "pim/appointment_records.h"
#include "pim/calendar_bucket.h"
#include "pim/calendar_time_text.h"
#include "platform/file.h"
#include "platform/file_time.h"
#include "platform/text_compare.h"

namespace qx {

using platform::StartsWithNoCase;

namespace {

constexpr size_t kHeaderPieceLength = 2046;
constexpr size_t kMostIndexedHeaders = 32;
constexpr size_t kFromLimit = 511;

// The attributes headers give besides IndexedValueHeaders, each with its
// place among an element's attribute slots (behind those headers').
enum Slot : size_t {
  kFromSlot = kMostIndexedHeaders,
  kReadSlot,
  kDateSlot,
  kCreatedSlot,
  kReceivedSlot,
  kFirstTimeTextSlot,
  kFirstTimeSlot = kFirstTimeTextSlot + 4,
  kSlotCount = kFirstTimeSlot + 2,
};

struct DateHeader {
  std::string_view prefix;
  const char* attribute;
  size_t slot;
};
constexpr DateHeader kTimeTextDates[] = {
    {"X-QXReminderTime: ", "REMINDERTIME", kFirstTimeTextSlot},
    {"X-QXRecurrenceRangeStart: ", "RECURRENCESTART", kFirstTimeTextSlot + 1},
    {"X-QXRecurrenceRangeEnd: ", "RECURRENCEEND", kFirstTimeTextSlot + 2},
    {"X-QXDueBy: ", "DUEBY", kFirstTimeTextSlot + 3},
};
constexpr DateHeader kTimes[] = {
    {"X-StartTime: ", kStartTimeAttribute, kFirstTimeSlot},
    {"X-FinishTime: ", kFinishTimeAttribute, kFirstTimeSlot + 1},
};

std::string_view SkipBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  return text;
}

std::string_view CutLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

// The first place from `at` on, before `end`, that holds 'x' or 's' in
// either case; `end` when there is none. Eight letters are tested at a
// time: a byte of the word equal to the letter sought becomes zero, and
// the lowest zero byte is found exactly.
static_assert(std::endian::native == std::endian::little, "the first letter of a word is its lowest byte");
size_t NextXOrS(std::string_view line, size_t at, size_t end) {
  constexpr uint64_t kOnes = 0x0101010101010101;
  constexpr uint64_t kHighBits = 0x8080808080808080;
  for (; at + 8 <= end; at += 8) {
    uint64_t word;
    std::memcpy(&word, line.data() + at, sizeof word);
    word |= kOnes * 0x20;
    const uint64_t x = word ^ (kOnes * 'x');
    const uint64_t s = word ^ (kOnes * 's');
    const uint64_t zero_bytes = (((x - kOnes) & ~x) | ((s - kOnes) & ~s)) & kHighBits;
    if (zero_bytes != 0) return at + static_cast<size_t>(std::countr_zero(zero_bytes) / 8);
  }
  while (at < end && (line[at] | 0x20) != 'x' && (line[at] | 0x20) != 's') ++at;
  return at;
}

// The indexed headers as bit sets (bit i for IndexedValueHeaders()[i]).
struct HeaderLetters {
  uint32_t all = 0;
  uint32_t x_names = 0;                // the names that begin with "X-"
  std::array<uint32_t, 256> by_third{};  // by their third letter, in either case
};

const HeaderLetters& IndexedHeaderLetters() {
  static const HeaderLetters letters = [] {
    HeaderLetters made;
    const std::span<const AppointmentHeader> headers = IndexedValueHeaders();
    for (size_t i = 0; i < headers.size(); ++i) {
      const uint32_t bit = 1u << i;
      const char third = headers[i].name[2];
      made.all |= bit;
      if (headers[i].name[1] == '-') made.x_names |= bit;
      made.by_third[static_cast<unsigned char>(third | 0x20)] |= bit;
      made.by_third[static_cast<unsigned char>(third & ~0x20)] |= bit;
    }
    return made;
  }();
  return letters;
}

// Reads header lines into an element's attributes.
class HeaderIndexer {
 public:
  explicit HeaderIndexer(pugi::xml_node element) : element_(element) {}

  // The headers read at the start of a line are told apart by its first
  // letter before their names are compared.
  void Take(std::string_view line) {
    const char first = line.empty() ? '\0' : static_cast<char>(line.front() & ~0x20);
    if (first == 'F' && StartsWithNoCase(line, "From: ")) TakeFrom(line);
    TakeValues(line);
    if (first == 'D' || first == 'R') TakeDates(line);
    if (first == 'X') TakeXHeaders(line);
  }

 private:
  void TakeDates(std::string_view line) {
    std::optional<std::string> date;
    if (StartsWithNoCase(line, "Date: ")) {
      date = ParseMessageDate(line.substr(6));
      if (date) {
        Set(kDateSlot, "DATE", *date);
        Set(kCreatedSlot, "CREATED", *date);
      }
    }
    if (!received_taken_) TakeReceived(line, date);
  }

  void TakeXHeaders(std::string_view line) {
    if (StartsWithNoCase(line, "X-Read: 1")) Set(kReadSlot, "READ", "1");
    for (const DateHeader& header : kTimeTextDates) {
      if (!StartsWithNoCase(line, header.prefix)) continue;
      if (auto text = StoreDateTextFromTimeText(line.substr(header.prefix.size()))) {
        Set(header.slot, header.attribute, *text);
      }
    }
    for (const DateHeader& header : kTimes) {
      if (!StartsWithNoCase(line, header.prefix)) continue;
      const std::optional<int64_t> seconds = UnixSecondsFromTimeText(line.substr(header.prefix.size()));
      if (seconds && *seconds >= std::numeric_limits<int32_t>::min() &&
          *seconds <= std::numeric_limits<int32_t>::max()) {
        Set(header.slot, header.attribute, std::to_string(*seconds));
      }
    }
  }

  // A later line for an attribute replaces its value. Each attribute has a
  // slot of its own, so the element's attributes are never searched by name.
  void Set(size_t slot, const char* attribute, std::string_view value) {
    pugi::xml_attribute& held = slots_[slot];
    if (!held) held = element_.append_attribute(attribute);
    held.set_value(value.data(), value.size());
  }

  void TakeFrom(std::string_view line) {
    if (line.size() > kFromLimit) {
      Set(kFromSlot, "FROM", "Unknown");
      return;
    }
    std::string_view sender = line.substr(6);
    if (!sender.empty() && sender.back() == ' ') sender.remove_suffix(1);
    Set(kFromSlot, "FROM", sender);
  }

  // Each header found where a search from the line's start first finds its
  // name, when a ':' follows there. One pass over the line looks for all
  // of them at once: the names begin with "X-", but for Subject, so most
  // places are passed at a glance, and at the others the third letter
  // picks the few names to compare.
  void TakeValues(std::string_view line) {
    const std::span<const AppointmentHeader> headers = IndexedValueHeaders();
    const HeaderLetters& letters = IndexedHeaderLetters();
    std::array<size_t, kMostIndexedHeaders> first;
    first.fill(std::string_view::npos);
    uint32_t unfound = letters.all;
    const size_t end = line.size() > 2 ? line.size() - 2 : 0;
    for (size_t at = NextXOrS(line, 0, end); at < end && unfound != 0; at = NextXOrS(line, at + 1, end)) {
      const bool x_name = (line[at] | 0x20) == 'x' && line[at + 1] == '-';
      if (!x_name && (line[at] | 0x20) != 's') continue;
      uint32_t candidates = letters.by_third[static_cast<unsigned char>(line[at + 2])] & unfound &
                            (x_name ? letters.x_names : ~letters.x_names);
      for (; candidates != 0; candidates &= candidates - 1) {
        const size_t i = static_cast<size_t>(std::countr_zero(candidates));
        if (StartsWithNoCase(line.substr(at), headers[i].name)) {
          first[i] = at;
          unfound &= ~(1u << i);
        }
      }
    }
    for (size_t i = 0; i < headers.size(); ++i) {
      if (first[i] == std::string_view::npos) continue;
      const size_t colon = first[i] + headers[i].name.size();
      if (colon < line.size() && line[colon] == ':') {
        Set(i, headers[i].attribute, SkipBlanks(line.substr(colon + 1)));
      }
    }
  }

  // Only the first Received line (or a Date line before it) tells when the
  // message arrived; later relays' lines are older news.
  void TakeReceived(std::string_view line, const std::optional<std::string>& date) {
    if (StartsWithNoCase(line, "Received: ")) {
      received_taken_ = true;
      const size_t separator = line.find("; ");
      if (separator == std::string_view::npos) return;
      if (auto received = ParseMessageDate(line.substr(separator + 2))) {
        Set(kReceivedSlot, "RECEIVED", *received);
      }
    } else if (StartsWithNoCase(line, "Date: ")) {
      received_taken_ = true;
      if (date) Set(kReceivedSlot, "RECEIVED", *date);
    }
  }

  pugi::xml_node element_;
  std::array<pugi::xml_attribute, kSlotCount> slots_{};
  bool received_taken_ = false;
};

pugi::xml_node BuildFromFile(pugi::xml_node root, const ProviderEntry& entry, platform::File& file) {
  if (!file.valid()) return {};
  uint64_t last_write = 0;
  const uint32_t stamp = file.GetLastWriteTime(&last_write) ? platform::DosStampFromFileTime(last_write) : 0;
  pugi::xml_node element = AppendElement(root, kEntryElement);
  if (!element) return {};
  element.append_attribute(kIdAttribute).set_value(entry.identifier.c_str());
  element.append_attribute(kStartAttribute).set_value(entry.start);
  element.append_attribute(kEndAttribute).set_value(entry.end);
  element.append_attribute(kModifiedDateAttribute).set_value(static_cast<int32_t>(stamp));

  HeaderIndexer indexer(element);
  MessageLineReader reader(file, kHeaderPieceLength);
  std::string_view line;
  while (reader.NextLine(&line)) {
    if (line.front() == '\r' || line.front() == '\n') break;
    indexer.Take(CutLineEnd(line));
  }
  return element;
}

}  // namespace

pugi::xml_node BuildAppointmentElement(pugi::xml_node root, const ProviderEntry& entry,
                                       std::string_view path) {
  platform::File file =
      platform::File::Open(path, platform::Access::kRead, platform::Disposition::kOpenExisting);
  return BuildFromFile(root, entry, file);
}

pugi::xml_node BuildAppointmentElement(pugi::xml_node root, const ProviderEntry& entry,
                                       const platform::Directory& folder, std::string_view folder_path) {
  if (!IsPlainFileName(entry.identifier)) return {};
  platform::File file = folder.OpenUnlockedForReading(entry.identifier);
  // Identifiers compare without regard to case; the file may be spelled otherwise.
  if (!file.valid()) return BuildAppointmentElement(root, entry, JoinStorePath(folder_path, entry.identifier));
  return BuildFromFile(root, entry, file);
}

AppointmentTimes ReadAppointmentTimes(std::string_view path) {
  AppointmentTimes times;
  platform::File file =
      platform::File::Open(path, platform::Access::kRead, platform::Disposition::kOpenExisting);
  if (!file.valid()) return times;
  MessageLineReader reader(file, kHeaderPieceLength);
  std::string_view line;
  while (reader.NextLine(&line) && line.front() != '\r' && line.front() != '\n') {
    for (const DateHeader& header : kTimes) {
      if (!StartsWithNoCase(line, header.prefix)) continue;
      std::optional<int64_t>& time = header.attribute == kStartTimeAttribute ? times.start : times.finish;
      time = UnixSecondsFromTimeText(CutLineEnd(line.substr(header.prefix.size())));
    }
  }
  return times;
}

pugi::xml_node Appointment_IndexMessage(const XmlDocument& document, pugi::xml_node root,
                                        const APPOINTMENTRECORD& entry) {
  if (!document) return {};
  const CalendarBucket names = BucketOfRecord(entry);
  const ProviderEntry provider_entry = EntryOfRecord(entry);
  if (!IsPlainFileName(names.postoffice) || !IsPlainFileName(names.mailbox) ||
      !IsPlainFileName(provider_entry.identifier)) {
    return {};
  }
  const std::string directory = CalendarDirectory(names.postoffice, names.mailbox);
  if (directory.empty()) return {};
  return BuildAppointmentElement(root, provider_entry, JoinStorePath(directory, provider_entry.identifier));
}

}  // namespace qx
