#pragma once
// New mail entries spliced into a recognised index text, known by its
// outline (index_outline.h): the entries, places, UIDs, LASTUID and folder
// status that inserting them into the loaded document and saving it would
// give, without the DOM. A delivery into a large folder then costs one copy
// of the index bytes, and none of them pass through the process when the
// outline was kept from the delivery before.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "index/folder_status.h"
#include "index/index_outline.h"

namespace qx {

// A stretch of the changed text: `length` bytes of the old text from
// `offset`, or the new `bytes`.
struct IndexTextPiece {
  bool from_old_text = false;
  uint64_t offset = 0;
  uint64_t length = 0;
  std::string_view bytes;
};

class IndexTextInsert {
 public:
  // Works on the text `outline` describes; the caller keeps it alive.
  explicit IndexTextInsert(const IndexOutline& outline);

  // The LASTUID the text has now (new entries included).
  uint32_t last_uid() const { return last_uid_; }

  // Whether new entries can be spliced in as they are: LASTUID is a whole
  // number below the last possible UID, and the entries' UIDs are unique
  // and none above it. A text that breaks these rules is left to the DOM
  // path, which refuses the insert or repairs the UIDs as it commits.
  bool UidsInOrder() const { return outline_.uids_in_order(); }

  // Whether an ELEMENT with ID `id` is in the text (new entries included).
  bool Contains(std::string_view id) const;

  // Adds `entry_xml`, the serialised entry for `id` (not contained), before
  // the first entry whose ID is greater in a byte comparison (at the end of
  // the root when none is), and makes `uid` the LASTUID. `flag_status` and
  // `read` are its FLAGSTATUS and READ texts, for the status count.
  void Insert(std::string_view id, std::string entry_xml, std::string flag_status,
              std::string read, uint32_t uid);

  // The changed text, as pieces to write one after the other.
  std::vector<IndexTextPiece> Pieces() const;

  // The folder status of the changed text (folder_status.h).
  void CountStatus(FolderStatusRecord status) const;

  // The outline of the changed text.
  IndexOutline ChangedOutline() const;

 private:
  struct NewEntry {
    uint64_t offset;
    std::string id;
    std::string xml;
    std::string flag_status;
    std::string read;
  };

  // The new entries in the order they are written.
  std::vector<const NewEntry*> Ordered() const;

  const IndexOutline& outline_;
  uint32_t last_uid_ = 0;
  std::string last_uid_text_;
  std::deque<NewEntry> new_entries_;
  std::unordered_set<std::string_view> new_ids_;  // views of new_entries_' IDs
};

}  // namespace qx
