#pragma once
// A cursor over a directory listing. "." and ".." come back like any other
// entry; callers skip them.

#include <cstdint>
#include <string>

#include "platform/listing.h"

namespace qx {

class FileIterator {
 public:
  // Every entry that matches the pattern.
  explicit FileIterator(std::string pattern);
  // Only entries whose attributes share a bit with attribute_mask.
  FileIterator(std::string pattern, uint32_t attribute_mask);
  // Every entry, FIFOs, sockets and devices too (platform/listing.h): for
  // the walks that delete.
  FileIterator(std::string pattern, platform::ListingScope scope);
  virtual ~FileIterator();

  // Starts the listing: the first matching entry's name, or "" when none.
  std::string First();
  // The next matching entry's name, or "" at the end (the listing is then
  // closed).
  std::string Next();
  // True while the listing is open and has not run out.
  bool More() const { return more_; }
  // The entry the last First() or Next() returned. REQUIRES: More().
  const platform::FindData& entry() const { return listing_.current(); }

 private:
  // Moves past entries the filter rejects; returns the name reached or "".
  std::string SkipFiltered();

  std::string pattern_;
  uint32_t filter_ = 0;
  uint32_t attribute_mask_ = 0;
  platform::ListingScope scope_ = platform::ListingScope::kStoreEntries;
  platform::Listing listing_;
  bool more_ = false;
};

}  // namespace qx
