#include "index/index_text_insert.h"

#include <algorithm>
#include <array>

namespace qx {

IndexTextInsert::IndexTextInsert(const IndexOutline& outline)
    : outline_(outline), last_uid_(outline.last_uid()) {}

bool IndexTextInsert::Contains(std::string_view id) const {
  return new_ids_.contains(id) || outline_.Contains(id);
}

void IndexTextInsert::Insert(std::string_view id, std::string entry_xml, std::string flag_status,
                             std::string read, uint32_t uid) {
  // Entries inserted earlier need no place of their own: a later ID that
  // lands on the same old entry is placed among them by ID (Ordered).
  const NewEntry& entry = new_entries_.emplace_back(NewEntry{
      outline_.InsertionOffset(id), std::string(id), std::move(entry_xml), std::move(flag_status),
      std::move(read)});
  new_ids_.insert(entry.id);
  last_uid_ = uid;
  last_uid_text_ = std::to_string(uid);
}

std::vector<const IndexTextInsert::NewEntry*> IndexTextInsert::Ordered() const {
  std::vector<const NewEntry*> order;
  for (const NewEntry& entry : new_entries_) order.push_back(&entry);
  std::sort(order.begin(), order.end(), [](const NewEntry* a, const NewEntry* b) {
    return a->offset != b->offset ? a->offset < b->offset : a->id < b->id;
  });
  return order;
}

std::vector<IndexTextPiece> IndexTextInsert::Pieces() const {
  const auto old_text = [](uint64_t from, uint64_t to) {
    return IndexTextPiece{.from_old_text = true, .offset = from, .length = to - from, .bytes = {}};
  };
  if (new_entries_.empty()) return {old_text(0, outline_.size())};
  std::vector<IndexTextPiece> pieces{old_text(0, outline_.last_uid_begin()),
                                     IndexTextPiece{.bytes = last_uid_text_}};
  uint64_t cursor = outline_.last_uid_end();
  for (const NewEntry* entry : Ordered()) {
    if (entry->offset > cursor) pieces.push_back(old_text(cursor, entry->offset));
    pieces.push_back(IndexTextPiece{.bytes = entry->xml});
    cursor = entry->offset;
  }
  pieces.push_back(old_text(cursor, outline_.size()));
  return pieces;
}

void IndexTextInsert::CountStatus(FolderStatusRecord status) const {
  outline_.CountStatus(last_uid_, status);
  for (const NewEntry& entry : new_entries_) CountEntryStatus(entry.flag_status, entry.read, status);
}

IndexOutline IndexTextInsert::ChangedOutline() const {
  std::vector<OutlineInsertion> inserted;
  for (const NewEntry* entry : Ordered()) inserted.push_back({entry->id, entry->offset, entry->xml.size()});
  std::array<uint32_t, kFolderStatusFields> status{};
  CountStatus(status);
  return outline_.WithInserted(inserted, last_uid_, std::to_string(last_uid_).size(), status);
}

}  // namespace qx
