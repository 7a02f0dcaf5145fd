#pragma once
// Directory listings as the original FindFirstFile/FindNextFile gave them:
// "." and ".." first, then the entries sorted by name without regard to case.
// Only files and directories are listed (symbolic links to them included,
// and links that lead nowhere): the original file system held nothing else,
// and no walk of the store may wait on a FIFO or a socket or read a device.
// The walks that delete a tree list every entry, so as to remove them too.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/listing_entries.h"
#include "platform/listing_pattern.h"

namespace qx::platform {

struct FindData {
  std::string name;  // the entry's name as stored on disk
  uint32_t attributes = 0;
  uint64_t size = 0;
  uint64_t creation_time = 0;  // FILETIME ticks; stable for the file's life
  uint64_t last_access_time = 0;
  uint64_t last_write_time = 0;
  // The entry itself is a symbolic link; the rest describes what it leads to.
  bool symbolic_link = false;
};

enum class ListingScope {
  kStoreEntries,  // files, directories and links
  kEveryEntry,    // also FIFOs, sockets and devices: for deleting them
};

// How much a listing tells of each entry.
enum class ListingDetail {
  kLookedUp,  // everything in FindData: each entry is looked up
  // The name, and the directory bit as the only attribute; sizes and times
  // are 0. Entries are looked up only where the directory does not tell
  // their type (links among them): for a caller that opens every file it
  // lists and learns the rest from the open file.
  kNamesAndTypes,
};

// A listing of `pattern`: a directory path followed by a separator and a name
// that may hold wildcards, or the path of one entry. Without wildcards the
// entry is found as the resolver finds it (without regard to case, no scan
// when spelled exactly); a last component "." names the directory itself.
// The entries are read when the listing opens; later changes are not seen.
class Listing {
 public:
  // Empty listing (valid() false) with last error 2 when nothing matches,
  // 3 when the directory is missing, 123 for an invalid name (wildcards in
  // the directory part). A pattern ending in a separator matches nothing.
  static Listing Open(std::string_view pattern,
                       ListingScope scope = ListingScope::kStoreEntries,
                       ListingDetail detail = ListingDetail::kLookedUp);

  bool valid() const { return position_ < entries_.size(); }
  // The entry reached. REQUIRES: valid(). The reference stays valid, but
  // the next Next() changes what it holds.
  const FindData& current() const { return current_; }
  // Moves to the next entry; false (last error 18) at the end.
  bool Next();

 private:
  void ShowCurrent();

  ListingEntries entries_;
  size_t position_ = 0;
  FindData current_;  // entries_[position_] while valid()
};

// The entry a listing of `path` would give first; false when none.
bool FindFirst(std::string_view pattern, FindData* found);

}  // namespace qx::platform
