#pragma once
// Whether two short byte strings are equal, for the caches that keep the
// names a caller asked for last (property names of the store-item
// interface): a walk compares the same few names at every item, and a
// call of memcmp for each costs more than the comparison itself.

#include <cstdint>
#include <cstring>
#include <string_view>

namespace qx {

// Exact comparison, every byte. Eight bytes at a time, the last word
// overlapping the one before, so that a name of 8 to 16 bytes takes two
// comparisons.
inline bool SameBytes(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const size_t size = a.size();
  if (size < 8) {
    for (size_t i = 0; i < size; ++i) {
      if (a[i] != b[i]) return false;
    }
    return true;
  }
  const auto word = [](std::string_view text, size_t at) {
    uint64_t bytes = 0;
    std::memcpy(&bytes, text.data() + at, 8);
    return bytes;
  };
  for (size_t at = 0; at + 8 < size; at += 8) {
    if (word(a, at) != word(b, at)) return false;
  }
  return word(a, size - 8) == word(b, size - 8);
}

}  // namespace qx
