#pragma once
// The entries a listing found, kept compactly: the names one after another
// in one buffer, each followed by a NUL so that it can be looked up by name,
// and a small record per entry that refers to its name. A listing of 20,000
// messages then costs no allocation per name, and sorting it orders indices,
// not strings.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qx::platform {

struct FindData;

// The order in which a listing gives names: byte by byte without regard to
// the case of ASCII letters, a shorter name first, then byte order.
bool ListingOrderLess(std::string_view a, std::string_view b);

class ListingEntries {
 public:
  // FindData without the name.
  struct Entry {
    size_t name_offset = 0;
    uint32_t name_size = 0;
    uint32_t attributes = 0;
    uint64_t size = 0;
    uint64_t creation_time = 0;
    uint64_t last_access_time = 0;
    uint64_t last_write_time = 0;
    bool symbolic_link = false;
  };

  size_t size() const { return order_.size(); }
  bool empty() const { return order_.empty(); }
  // The entry i-th in the listing's order.
  Entry& operator[](size_t i) { return entries_[order_[i]]; }
  const Entry& operator[](size_t i) const { return entries_[order_[i]]; }

  // Room for this many entries and bytes of names.
  void Reserve(size_t entries, size_t name_bytes);

  // Adds an entry named `name` with no details. The reference is valid
  // until the next Add.
  Entry& Add(std::string_view name);

  std::string_view name(const Entry& entry) const { return {names_.data() + entry.name_offset, entry.name_size}; }
  const char* c_name(const Entry& entry) const { return names_.data() + entry.name_offset; }

  // Puts "." and ".." first, then the other entries in listing order
  // (ListingOrderLess). Each name is folded once, not at every comparison.
  void SortInListingOrder();

  // Removes entry i wherever `removed[i]` is nonzero, keeping the order.
  void Remove(const std::vector<char>& removed);

  // Entry i as a listing gives it.
  void CopyTo(size_t i, FindData* data) const;

 private:
  std::string names_;
  std::vector<Entry> entries_;  // in the order they were added
  std::vector<uint32_t> order_;  // entries_ in the listing's order
};

}  // namespace qx::platform
