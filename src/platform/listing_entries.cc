#include "platform/listing_entries.h"

#include <algorithm>
#include <utility>

#include "platform/listing.h"
#include "platform/text_compare.h"

namespace qx::platform {
namespace {

bool IsDots(std::string_view name) { return name == "." || name == ".."; }

// The length of the folded prefix every name in `names` shares.
size_t SharedPrefix(const std::vector<std::string_view>& names) {
  if (names.empty()) return 0;
  size_t shared = names.front().size();
  for (std::string_view name : names) {
    const size_t common = std::min(shared, name.size());
    shared = std::mismatch(name.begin(), name.begin() + common, names.front().begin()).first - name.begin();
  }
  return shared;
}

// Eight folded bytes from `at` as one big-endian number, with zeros past the
// end: numbers compare as the bytes do, a name that ends first lower (a name
// holds no NUL).
uint64_t KeyAt(std::string_view folded, size_t at) {
  uint64_t key = 0;
  for (size_t i = at; i < at + 8; ++i) {
    key = key << 8 | (i < folded.size() ? static_cast<unsigned char>(folded[i]) : 0);
  }
  return key;
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

void ListingEntries::SortInListingOrder() {
  std::vector<Entry> sorted;
  sorted.reserve(entries_.size());
  for (std::string_view dots : {".", ".."}) {
    for (const Entry& entry : entries_) {
      if (name(entry) == dots) sorted.push_back(entry);
    }
  }
  // The other names folded, in the same places as in names_.
  std::string folded_names = names_;
  for (char& c : folded_names) c = UpperAscii(c);
  std::vector<std::string_view> folded;
  std::vector<uint32_t> others;
  folded.reserve(entries_.size());
  others.reserve(entries_.size());
  for (uint32_t i = 0; i < entries_.size(); ++i) {
    if (IsDots(name(entries_[i]))) continue;
    folded.emplace_back(folded_names.data() + entries_[i].name_offset, entries_[i].name_size);
    others.push_back(i);
  }
  // Most comparisons are settled by a number made of the eight folded bytes
  // after the prefix all names share (the message names of a folder share
  // their leading zeros); the rest compare the folded names, then the names
  // as spelled.
  const size_t shared = SharedPrefix(folded);
  std::vector<std::pair<uint64_t, uint32_t>> keys;
  keys.reserve(folded.size());
  for (uint32_t k = 0; k < folded.size(); ++k) keys.emplace_back(KeyAt(folded[k], shared), k);
  std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    const int order = folded[a.second].substr(shared).compare(folded[b.second].substr(shared));
    if (order != 0) return order < 0;
    return name(entries_[others[a.second]]) < name(entries_[others[b.second]]);
  });
  for (const auto& key : keys) sorted.push_back(entries_[others[key.second]]);
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
