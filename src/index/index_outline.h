#pragma once
// What a delivery needs to know of a recognised index text (index_text.h),
// without its bytes: where LASTUID's value and the root's end are, the IDs
// of the entries and the places new entries go, whether the UIDs allow a
// splice, and the status counts of the children. An outline is small
// beside the text, can be kept beside the file it describes
// (index_outline_cache.h), and is carried over a splice (WithInserted), so
// that the next delivery into an index nobody else has written reads none
// of its bytes.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "index/folder_status.h"
#include "index/index_text.h"

namespace qx {

// One entry spliced into a text: its ID, the offset in the old text it
// went in at, and the length of its serialised bytes.
struct OutlineInsertion {
  std::string_view id;
  uint64_t offset = 0;
  uint64_t length = 0;
};

class IndexOutline {
 public:
  // The outline of a recognised text.
  static IndexOutline Of(const IndexText& text);

  // The outline that ToBytes wrote; nothing when `bytes` are not such a
  // record or do not hang together.
  static std::optional<IndexOutline> FromBytes(std::string bytes);
  std::string ToBytes() const;

  uint64_t size() const { return size_; }
  uint64_t last_uid_begin() const { return last_uid_begin_; }
  uint64_t last_uid_end() const { return last_uid_end_; }
  uint64_t content_end() const { return content_end_; }
  // LASTUID as its leading digits read, and whether it is plain digits
  // below the last possible UID with every entry's UID unique and none
  // above it: only then can entries be spliced in (index_text_insert.h).
  uint32_t last_uid() const { return last_uid_; }
  bool uids_in_order() const { return uids_in_order_; }

  // Whether an ELEMENT with ID `id` (escapes decoded) is in the text.
  bool Contains(std::string_view id) const;

  // Where an entry with ID `id` goes: before the first entry whose ID is
  // greater in a byte comparison than every ID before it and than `id`, or
  // before the root's end tag when none is.
  uint64_t InsertionOffset(std::string_view id) const;

  // The status of the text's children (folder_status.h), with `last_uid`
  // as the last UID.
  void CountStatus(uint32_t last_uid, FolderStatusRecord status) const;

  // The outline of the text that writing `inserted` (ordered by offset, then
  // by ID, each before the old bytes at its offset) and `last_uid_text` as
  // LASTUID gives; `status` is that text's folder status.
  IndexOutline WithInserted(std::span<const OutlineInsertion> inserted, uint32_t last_uid,
                            size_t last_uid_text_size, std::span<const uint32_t> status) const;

 private:
  static constexpr uint64_t kNoPlace = UINT64_MAX;
  struct Id {
    uint64_t at = 0;      // of its text in storage_
    uint64_t length = 0;
    uint64_t place = kNoPlace;  // where an insertion before it goes, when it can be one
  };

  std::string_view Text(const Id& id) const { return std::string_view(storage_).substr(id.at, id.length); }
  // The first ID not less than `id`, or greater when `after`.
  std::vector<Id>::const_iterator Bound(std::string_view id, bool after) const;
  bool HangsTogether() const;

  uint64_t size_ = 0;
  uint64_t last_uid_begin_ = 0;
  uint64_t last_uid_end_ = 0;
  uint64_t content_end_ = 0;
  uint32_t last_uid_ = 0;
  bool uids_in_order_ = false;
  std::array<uint32_t, kFolderStatusFields> counts_{};  // the children's, last UID 0
  std::string storage_;
  std::vector<Id> ids_;  // ordered by text, then by place in the text
};

}  // namespace qx
