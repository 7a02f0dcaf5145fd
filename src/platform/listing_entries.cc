#include "platform/listing_entries.h"

#include <algorithm>
#include <span>
#include <utility>

#include "platform/listing.h"
#include "platform/text_compare.h"

namespace qx::platform {
namespace {

bool IsDots(std::string_view name) { return name == "." || name == ".."; }

using SortKey = std::pair<uint64_t, uint32_t>;  // folded bytes, entry

// Eight folded bytes from `at` as one big-endian number, with zeros past the
// end: numbers compare as the bytes do, a name that ends first lower (a name
// holds no NUL).
uint64_t FoldedKeyAt(std::string_view name, size_t at) {
  uint64_t key = 0;
  for (size_t i = at; i < at + 8; ++i) {
    key = key << 8 | (i < name.size() ? static_cast<unsigned char>(UpperAscii(name[i])) : 0);
  }
  return key;
}

// How many folded bytes from `at` all names in `keys` share.
template <typename NameOf>
size_t SharedFrom(std::span<const SortKey> keys, size_t at, NameOf name_of) {
  const std::string_view first = name_of(keys.front().second);
  size_t shared = first.size() - at;
  for (const SortKey& key : keys.subspan(1)) {
    const std::string_view other = name_of(key.second);
    size_t i = 0;
    const size_t common = std::min(shared, other.size() - at);
    while (i < common && SameNoCase(first[at + i], other[at + i])) ++i;
    shared = i;
  }
  return shared;
}

// Sorts `keys`, whose names share their first `at` folded bytes, in listing
// order: by eight folded bytes at a time past what they all share, names
// that tie sorted again on the next eight, and names equal but for case by
// their spelling. A folder of message names that share a long run of
// leading zeros is then sorted by numbers, not by strings.
template <typename NameOf>
void SortFrom(std::span<SortKey> keys, size_t at, NameOf name_of) {
  if (keys.size() < 2) return;
  at += SharedFrom(keys, at, name_of);
  for (SortKey& key : keys) key.first = FoldedKeyAt(name_of(key.second), at);
  std::sort(keys.begin(), keys.end(), [](const SortKey& a, const SortKey& b) { return a.first < b.first; });
  for (size_t begin = 0; begin < keys.size();) {
    size_t end = begin + 1;
    while (end < keys.size() && keys[end].first == keys[begin].first) ++end;
    std::span<SortKey> tied = keys.subspan(begin, end - begin);
    if ((keys[begin].first & 0xFF) == 0) {
      // Both names end within these bytes, at the same place.
      std::sort(tied.begin(), tied.end(),
                [&](const SortKey& a, const SortKey& b) { return name_of(a.second) < name_of(b.second); });
    } else {
      SortFrom(tied, at + 8, name_of);
    }
    begin = end;
  }
}

}  // namespace

bool ListingOrderLess(std::string_view a, std::string_view b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const auto fa = static_cast<unsigned char>(UpperAscii(a[i]));
    const auto fb = static_cast<unsigned char>(UpperAscii(b[i]));
    if (fa != fb) return fa < fb;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

ListingEntries::Entry& ListingEntries::Add(std::string_view name) {
  Entry& entry = entries_.emplace_back();
  entry.name_offset = names_.size();
  entry.name_size = static_cast<uint32_t>(name.size());
  names_.append(name);
  names_.push_back('\0');
  return entry;
}

void ListingEntries::Reserve(size_t entries, size_t name_bytes) {
  entries_.reserve(entries);
  names_.reserve(name_bytes);
}

void ListingEntries::SortInListingOrder() {
  std::vector<Entry> sorted;
  sorted.reserve(entries_.size());
  for (std::string_view dots : {".", ".."}) {
    for (const Entry& entry : entries_) {
      if (name(entry) == dots) sorted.push_back(entry);
    }
  }
  std::vector<SortKey> keys;
  keys.reserve(entries_.size());
  for (uint32_t i = 0; i < entries_.size(); ++i) {
    if (!IsDots(name(entries_[i]))) keys.emplace_back(0, i);
  }
  SortFrom(std::span<SortKey>(keys), 0, [&](uint32_t i) { return name(entries_[i]); });
  for (const auto& key : keys) sorted.push_back(entries_[key.second]);
  entries_ = std::move(sorted);
}

void ListingEntries::Remove(const std::vector<char>& removed) {
  size_t kept = 0;
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (!removed[i]) entries_[kept++] = entries_[i];
  }
  entries_.resize(kept);
}

void ListingEntries::CopyTo(size_t i, FindData* data) const {
  const Entry& entry = entries_[i];
  data->name.assign(name(entry));
  data->attributes = entry.attributes;
  data->size = entry.size;
  data->creation_time = entry.creation_time;
  data->last_access_time = entry.last_access_time;
  data->last_write_time = entry.last_write_time;
  data->symbolic_link = entry.symbolic_link;
}

}  // namespace qx::platform
