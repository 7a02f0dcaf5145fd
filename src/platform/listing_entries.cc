#include "platform/listing_entries.h"

#include <algorithm>
#include <cstring>
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
  char bytes[8] = {};
  if (at + 8 <= name.size()) {
    std::memcpy(bytes, name.data() + at, 8);
  } else if (at < name.size()) {
    std::memcpy(bytes, name.data() + at, name.size() - at);
  }
  uint64_t key = 0;
  for (char c : bytes) key = key << 8 | static_cast<unsigned char>(UpperAscii(c));
  return key;
}

// How many bytes `a` and `b` share without regard to case, counting no
// further than `limit`. Spellings that are the same byte for byte are
// passed over eight bytes at a time.
size_t SharedNoCase(const char* a, const char* b, size_t limit) {
  size_t i = 0;
  for (uint64_t wa, wb; i + 8 <= limit; i += 8) {
    std::memcpy(&wa, a + i, 8);
    std::memcpy(&wb, b + i, 8);
    if (wa != wb) break;
  }
  while (i < limit && SameNoCase(a[i], b[i])) ++i;
  return i;
}

// How many folded bytes from `at` all names in `keys` share.
template <typename NameOf>
size_t SharedFrom(std::span<const SortKey> keys, size_t at, NameOf name_of) {
  const std::string_view first = name_of(keys.front().second);
  size_t shared = first.size() - at;
  for (const SortKey& key : keys.subspan(1)) {
    const std::string_view other = name_of(key.second);
    shared = SharedNoCase(first.data() + at, other.data() + at, std::min(shared, other.size() - at));
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
  order_.push_back(static_cast<uint32_t>(entries_.size()));
  Entry& entry = entries_.emplace_back();
  entry.name_offset = names_.size();
  entry.name_size = static_cast<uint32_t>(name.size());
  names_.append(name);
  names_.push_back('\0');
  return entry;
}

void ListingEntries::Reserve(size_t entries, size_t name_bytes) {
  order_.reserve(entries);
  entries_.reserve(entries);
  names_.reserve(name_bytes);
}

void ListingEntries::SortInListingOrder() {
  std::vector<uint32_t> dots;
  std::vector<SortKey> keys;
  keys.reserve(order_.size());
  for (uint32_t i : order_) {
    if (IsDots(name(entries_[i]))) {
      dots.push_back(i);
    } else {
      keys.emplace_back(0, i);
    }
  }
  std::sort(dots.begin(), dots.end(), [&](uint32_t a, uint32_t b) { return name(entries_[a]) < name(entries_[b]); });
  SortFrom(std::span<SortKey>(keys), 0, [&](uint32_t i) { return name(entries_[i]); });
  order_ = std::move(dots);
  for (const SortKey& key : keys) order_.push_back(key.second);
}

void ListingEntries::Remove(const std::vector<char>& removed) {
  size_t kept = 0;
  for (size_t i = 0; i < order_.size(); ++i) {
    if (!removed[i]) order_[kept++] = order_[i];
  }
  order_.resize(kept);
}

void ListingEntries::CopyTo(size_t i, FindData* data) const {
  const Entry& entry = (*this)[i];
  data->name.assign(name(entry));
  data->attributes = entry.attributes;
  data->size = entry.size;
  data->creation_time = entry.creation_time;
  data->last_access_time = entry.last_access_time;
  data->last_write_time = entry.last_write_time;
  data->symbolic_link = entry.symbolic_link;
}

}  // namespace qx::platform
