#include "legacy/messages_find.h"

#include <optional>

#include "frame/store_roots.h"
#include "frame/time_conversion.h"
#include "frame/bounded_text.h"
#include "legacy/legacy_state_lock.h"
#include "qxstore_record_text.h"
#include "platform/listing.h"

namespace qx {

namespace {

constexpr size_t kPatternSize = 1024;

// The message search handle: one per process, shared by every thread.
std::optional<platform::Listing>& MessageListing() {
  static std::optional<platform::Listing> listing;
  return listing;
}

uint32_t CreationUnixSeconds(uint64_t creation_time) {
  FILETIME time{static_cast<uint32_t>(creation_time), static_cast<uint32_t>(creation_time >> 32)};
  return static_cast<uint32_t>(UnixTimeFromFileTime(time));
}

// Fills the record from the listing's current entry, or closes the listing
// when it has run out. 1 when an entry was copied.
uint32_t TakeCurrentEntry(MESSAGESEARCHRECORD* search) {
  std::optional<platform::Listing>& listing = MessageListing();
  if (!listing || !listing->valid()) {
    listing.reset();
    return 0;
  }
  const platform::FindData& entry = listing->current();
  SetRecordText(search->name, entry.name);
  search->size = static_cast<uint32_t>(entry.size);
  search->created = CreationUnixSeconds(entry.creation_time);
  return 1;
}

// The directory a listing pattern lists: the text before its last separator.
std::string_view ListedDirectory(std::string_view pattern) {
  const size_t separator = pattern.find_last_of("\\/");
  return separator == std::string_view::npos ? std::string_view() : pattern.substr(0, separator);
}

}  // namespace

std::string MessageSearchPattern(const MESSAGESEARCHRECORD& search) {
  const std::string pattern = RecordText(search.pattern);
  if (pattern.find('*') != std::string::npos) return pattern;
  char all[kPatternSize];
  if (!FormatBounded(all, sizeof all, "%s\\*.*", pattern.c_str())) return {};
  return all;
}

uint32_t LocalMessagesFindFirst(MESSAGESEARCHRECORD* search) {
  if (search == nullptr) return 0;
  LegacyStateLock lock;
  MessageListing().reset();
  const std::string pattern = MessageSearchPattern(*search);
  if (pattern.empty() || !IsAllowedFullPath(ListedDirectory(pattern))) return 0;
  MessageListing() = platform::Listing::Open(pattern);
  return TakeCurrentEntry(search);
}

uint32_t LocalMessagesFindNext(MESSAGESEARCHRECORD* search) {
  if (search == nullptr) return 0;
  LegacyStateLock lock;
  std::optional<platform::Listing>& listing = MessageListing();
  if (!listing) return 0;
  listing->Next();
  return TakeCurrentEntry(search);
}

}  // namespace qx
