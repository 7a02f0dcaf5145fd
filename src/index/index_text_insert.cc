#include "index/index_text_insert.h"

#include <algorithm>

#include "frame/number_text.h"

namespace qx {

namespace {

bool IsWholeNumber(std::string_view text) {
  return !text.empty() && text.size() <= 10 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

IndexTextInsert::IndexTextInsert(const IndexText& text) : text_(text) {
  const std::string_view bytes = text.bytes;
  const std::string_view last_uid =
      bytes.substr(text.last_uid_begin, text.last_uid_end - text.last_uid_begin);
  last_uid_ = LeadingUnsigned32(DecodeIndexText(last_uid));
  // Only plain digits are taken as they read; anything else is the DOM's to judge.
  uids_in_order_ = IsWholeNumber(last_uid) && last_uid_ < 0xFFFFFFFFu &&
                   std::to_string(last_uid_) == last_uid;
  std::unordered_set<uint32_t> uids;
  uids.reserve(text.children.size() * 2);
  ids_.reserve(text.children.size() * 2);
  for (const IndexTextChild& child : text.children) {
    if (!child.is_entry) continue;
    const uint32_t uid = LeadingUnsigned32(Decoded(child.uid));
    if (uid != 0 && (uid > last_uid_ || !uids.insert(uid).second)) uids_in_order_ = false;
    if (!child.has_id) continue;
    const std::string_view id = Decoded(child.id);
    ids_.insert(id);
    if (records_.empty() || id > records_.back().id) records_.push_back({id, child.begin});
  }
}

std::string_view IndexTextInsert::Decoded(std::string_view raw) {
  if (raw.find('&') == std::string_view::npos) return raw;
  return decoded_.emplace_back(DecodeIndexText(raw));
}

bool IndexTextInsert::Contains(std::string_view id) const { return ids_.contains(id); }

void IndexTextInsert::Insert(std::string_view id, std::string entry_xml, std::string flag_status,
                             std::string read, uint32_t uid) {
  // Entries inserted earlier need no record of their own: a later ID that
  // lands on the same original entry is placed among them by ID (Pieces).
  const auto after = std::upper_bound(records_.begin(), records_.end(), id,
                                      [](std::string_view a, const Record& b) { return a < b.id; });
  const size_t offset = after == records_.end() ? text_.content_end : after->offset;
  NewEntry& entry = new_entries_.emplace_back(
      NewEntry{offset, std::string(id), std::move(entry_xml), std::move(flag_status), std::move(read)});
  ids_.insert(entry.id);
  last_uid_ = uid;
  last_uid_text_ = std::to_string(uid);
}

std::vector<std::string_view> IndexTextInsert::Pieces() const {
  const std::string_view bytes = text_.bytes;
  if (new_entries_.empty()) return {bytes};
  std::vector<const NewEntry*> order;
  for (const NewEntry& entry : new_entries_) order.push_back(&entry);
  std::sort(order.begin(), order.end(), [](const NewEntry* a, const NewEntry* b) {
    return a->offset != b->offset ? a->offset < b->offset : a->id < b->id;
  });
  std::vector<std::string_view> pieces{bytes.substr(0, text_.last_uid_begin), last_uid_text_};
  size_t cursor = text_.last_uid_end;
  for (const NewEntry* entry : order) {
    pieces.push_back(bytes.substr(cursor, entry->offset - cursor));
    pieces.push_back(entry->xml);
    cursor = entry->offset;
  }
  pieces.push_back(bytes.substr(cursor));
  return pieces;
}

void IndexTextInsert::CountStatus(FolderStatusRecord status) const {
  StartFolderStatus(status, last_uid_);
  for (const IndexTextChild& child : text_.children) {
    const bool escaped = child.flag_status.find('&') != std::string_view::npos ||
                         child.read.find('&') != std::string_view::npos;
    if (escaped) {
      CountEntryStatus(DecodeIndexText(child.flag_status), DecodeIndexText(child.read), status);
    } else {
      CountEntryStatus(child.flag_status, child.read, status);
    }
  }
  for (const NewEntry& entry : new_entries_) CountEntryStatus(entry.flag_status, entry.read, status);
}

}  // namespace qx
