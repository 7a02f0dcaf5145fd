#pragma once
// New mail entries spliced into a recognised index text (index_text.h):
// the entries, places, UIDs, LASTUID and folder status that inserting them
// into the loaded document and saving it would give, without the DOM. A
// delivery into a large folder then costs one read and one write of the
// index bytes.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "index/folder_status.h"
#include "index/index_text.h"

namespace qx {

class IndexTextInsert {
 public:
  // Works on `text`, whose bytes the caller keeps alive and unchanged.
  explicit IndexTextInsert(const IndexText& text);

  // The LASTUID the text has now (new entries included).
  uint32_t last_uid() const { return last_uid_; }

  // Whether new entries can be spliced in as they are: LASTUID is a whole
  // number below the last possible UID, and the entries' UIDs are unique
  // and none above it. A text that breaks these rules is left to the DOM
  // path, which refuses the insert or repairs the UIDs as it commits.
  bool UidsInOrder() const { return uids_in_order_; }

  // Whether an ELEMENT with ID `id` is in the text (new entries included).
  bool Contains(std::string_view id) const;

  // Adds `entry_xml`, the serialised entry for `id` (not contained), before
  // the first entry whose ID is greater in a byte comparison (at the end of
  // the root when none is), and makes `uid` the LASTUID. `flag_status` and
  // `read` are its FLAGSTATUS and READ texts, for the status count.
  void Insert(std::string_view id, std::string entry_xml, std::string flag_status,
              std::string read, uint32_t uid);

  // The changed text, as pieces to write one after the other.
  std::vector<std::string_view> Pieces() const;

  // The folder status of the changed text (folder_status.h).
  void CountStatus(FolderStatusRecord status) const;

 private:
  struct NewEntry {
    size_t offset;
    std::string id;
    std::string xml;
    std::string flag_status;
    std::string read;
  };
  // An entry whose ID is greater than every ID before it: the first entry
  // after any ID is always the first of these after it.
  struct Record {
    std::string_view id;
    size_t offset;
  };

  std::string_view Decoded(std::string_view raw);

  const IndexText& text_;
  uint32_t last_uid_ = 0;
  bool uids_in_order_ = false;
  std::string last_uid_text_;
  std::deque<std::string> decoded_;  // IDs that held escapes, decoded
  std::unordered_set<std::string_view> ids_;
  std::vector<Record> records_;
  std::deque<NewEntry> new_entries_;
};

}  // namespace qx
