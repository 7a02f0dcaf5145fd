#include "index/index_outline.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "frame/number_text.h"

namespace qx {

namespace {

constexpr std::string_view kMagic = "QXOUTL01";

bool IsWholeNumber(std::string_view text) {
  return !text.empty() && text.size() <= 10 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Fixed-size numbers in the record, in the machine's order: a record is
// only ever read back on the machine that wrote it.
template <typename Number>
void Put(std::string* out, Number number) {
  out->append(reinterpret_cast<const char*>(&number), sizeof number);
}

template <typename Number>
bool Take(std::string_view* in, Number* number) {
  if (in->size() < sizeof *number) return false;
  std::memcpy(number, in->data(), sizeof *number);
  in->remove_prefix(sizeof *number);
  return true;
}

}  // namespace

IndexOutline IndexOutline::Of(const IndexText& text) {
  IndexOutline outline;
  const std::string_view bytes = text.bytes;
  outline.size_ = bytes.size();
  outline.last_uid_begin_ = text.last_uid_begin;
  outline.last_uid_end_ = text.last_uid_end;
  outline.content_end_ = text.content_end;
  const std::string_view last_uid = bytes.substr(text.last_uid_begin, text.last_uid_end - text.last_uid_begin);
  outline.last_uid_ = LeadingUnsigned32(DecodeIndexText(last_uid));
  // Only plain digits are taken as they read; anything else is the DOM's to judge.
  outline.uids_in_order_ = IsWholeNumber(last_uid) && outline.last_uid_ < UINT32_MAX &&
                           std::to_string(outline.last_uid_) == last_uid;

  StartFolderStatus(outline.counts_, 0);
  size_t id_bytes = 0;
  for (const IndexTextChild& child : text.children) id_bytes += child.id.size();
  outline.storage_.reserve(id_bytes);  // decoding only shortens: the views below stay put
  std::unordered_set<uint32_t> uids;
  uids.reserve(text.children.size() * 2);
  std::string_view greatest;
  bool any_id = false;
  for (const IndexTextChild& child : text.children) {
    const bool escaped = child.flag_status.find('&') != std::string_view::npos ||
                         child.read.find('&') != std::string_view::npos;
    if (escaped) {
      CountEntryStatus(DecodeIndexText(child.flag_status), DecodeIndexText(child.read), outline.counts_);
    } else {
      CountEntryStatus(child.flag_status, child.read, outline.counts_);
    }
    if (!child.is_entry) continue;
    const uint32_t uid = child.uid.find('&') == std::string_view::npos
                             ? LeadingUnsigned32(child.uid)
                             : LeadingUnsigned32(DecodeIndexText(child.uid));
    if (uid != 0 && (uid > outline.last_uid_ || !uids.insert(uid).second)) outline.uids_in_order_ = false;
    if (!child.has_id) continue;
    Id id{outline.storage_.size(), 0, kNoPlace};
    if (child.id.find('&') == std::string_view::npos) {
      outline.storage_ += child.id;
    } else {
      outline.storage_ += DecodeIndexText(child.id);
    }
    id.length = outline.storage_.size() - id.at;
    // An entry whose ID is greater than every ID before it: the first entry
    // after any ID is always the first of these after it.
    const std::string_view id_text = outline.Text(id);
    if (!any_id || id_text > greatest) {
      id.place = child.begin;
      greatest = id_text;
      any_id = true;
    }
    outline.ids_.push_back(id);
  }
  // The store writes entries in ID order, so the sort is usually a check.
  const auto by_text = [&](const Id& a, const Id& b) { return outline.Text(a) < outline.Text(b); };
  if (!std::is_sorted(outline.ids_.begin(), outline.ids_.end(), by_text)) {
    std::stable_sort(outline.ids_.begin(), outline.ids_.end(), by_text);
  }
  return outline;
}

std::string IndexOutline::ToBytes() const {
  uint64_t id_bytes = 0;
  for (const Id& id : ids_) id_bytes += id.length;
  std::string out;
  out.reserve(kMagic.size() + 4 * sizeof(uint64_t) + 2 * sizeof(uint32_t) + sizeof counts_ +
              sizeof(uint64_t) + ids_.size() * 2 * sizeof(uint64_t) + id_bytes);
  out += kMagic;
  for (uint64_t number : {size_, last_uid_begin_, last_uid_end_, content_end_}) Put(&out, number);
  Put(&out, last_uid_);
  Put(&out, uint32_t{uids_in_order_});
  for (uint32_t count : counts_) Put(&out, count);
  Put(&out, uint64_t{ids_.size()});
  for (const Id& id : ids_) {
    Put(&out, id.length);
    Put(&out, id.place);
  }
  for (const Id& id : ids_) out += Text(id);
  return out;
}

std::optional<IndexOutline> IndexOutline::FromBytes(std::string bytes) {
  IndexOutline outline;
  std::string_view in = bytes;
  if (!in.starts_with(kMagic)) return std::nullopt;
  in.remove_prefix(kMagic.size());
  uint32_t in_order = 0;
  uint64_t count = 0;
  bool read = Take(&in, &outline.size_) && Take(&in, &outline.last_uid_begin_) &&
              Take(&in, &outline.last_uid_end_) && Take(&in, &outline.content_end_) &&
              Take(&in, &outline.last_uid_) && Take(&in, &in_order);
  for (uint32_t& number : outline.counts_) read = read && Take(&in, &number);
  if (!read || !Take(&in, &count) || count > in.size() / (2 * sizeof(uint64_t))) return std::nullopt;
  outline.uids_in_order_ = in_order == 1;
  outline.ids_.resize(count);
  for (Id& id : outline.ids_) {
    if (!Take(&in, &id.length) || !Take(&in, &id.place)) return std::nullopt;
  }
  uint64_t at = bytes.size() - in.size();
  for (Id& id : outline.ids_) {
    if (id.length > bytes.size() - at) return std::nullopt;
    id.at = at;
    at += id.length;
  }
  if (at != bytes.size()) return std::nullopt;
  outline.storage_ = std::move(bytes);
  if (!outline.HangsTogether()) return std::nullopt;
  return outline;
}

bool IndexOutline::HangsTogether() const {
  if (last_uid_begin_ > last_uid_end_ || last_uid_end_ >= content_end_ || content_end_ >= size_) {
    return false;
  }
  uint64_t last_place = last_uid_end_;
  for (size_t i = 0; i < ids_.size(); ++i) {
    if (i > 0 && Text(ids_[i]) < Text(ids_[i - 1])) return false;
    if (ids_[i].place == kNoPlace) continue;
    if (ids_[i].place <= last_place || ids_[i].place >= content_end_) return false;
    last_place = ids_[i].place;
  }
  return true;
}

std::vector<IndexOutline::Id>::const_iterator IndexOutline::Bound(std::string_view id, bool after) const {
  return after ? std::upper_bound(ids_.begin(), ids_.end(), id,
                                  [&](std::string_view a, const Id& b) { return a < Text(b); })
               : std::lower_bound(ids_.begin(), ids_.end(), id,
                                  [&](const Id& a, std::string_view b) { return Text(a) < b; });
}

bool IndexOutline::Contains(std::string_view id) const {
  const auto found = Bound(id, false);
  return found != ids_.end() && Text(*found) == id;
}

uint64_t IndexOutline::InsertionOffset(std::string_view id) const {
  for (auto it = Bound(id, true); it != ids_.end(); ++it) {
    if (it->place != kNoPlace) return it->place;
  }
  return content_end_;
}

void IndexOutline::CountStatus(uint32_t last_uid, FolderStatusRecord status) const {
  std::copy(counts_.begin(), counts_.end(), status.begin());
  status[kStatusLastUid] = last_uid;
}

IndexOutline IndexOutline::WithInserted(std::span<const OutlineInsertion> inserted, uint32_t last_uid,
                                        size_t last_uid_text_size, std::span<const uint32_t> status) const {
  // Old bytes at or after an insertion's offset move by its length, and
  // everything after LASTUID by the change of its length.
  const int64_t uid_shift = static_cast<int64_t>(last_uid_text_size) -
                            static_cast<int64_t>(last_uid_end_ - last_uid_begin_);
  std::vector<uint64_t> before(inserted.size() + 1, 0);  // bytes inserted before each insertion
  for (size_t k = 0; k < inserted.size(); ++k) before[k + 1] = before[k] + inserted[k].length;
  const auto moved = [&](uint64_t offset) {
    const auto after = std::upper_bound(inserted.begin(), inserted.end(), offset,
                                        [](uint64_t a, const OutlineInsertion& b) { return a < b.offset; });
    return offset + uid_shift + before[after - inserted.begin()];
  };

  IndexOutline outline;
  outline.size_ = size_ + uid_shift + before.back();
  outline.last_uid_begin_ = last_uid_begin_;
  outline.last_uid_end_ = last_uid_begin_ + last_uid_text_size;
  outline.content_end_ = moved(content_end_);
  outline.last_uid_ = last_uid;
  outline.uids_in_order_ = uids_in_order_ && last_uid < UINT32_MAX;
  std::copy(status.begin(), status.end(), outline.counts_.begin());
  outline.counts_[kStatusLastUid] = 0;

  // Each new entry is greater than every ID before it (it went in before
  // the first greater one), so a later insertion can go before it.
  std::vector<size_t> by_id(inserted.size());
  for (size_t k = 0; k < by_id.size(); ++k) by_id[k] = k;
  std::sort(by_id.begin(), by_id.end(), [&](size_t a, size_t b) { return inserted[a].id < inserted[b].id; });
  uint64_t id_bytes = 0;
  for (const Id& id : ids_) id_bytes += id.length;
  for (const OutlineInsertion& entry : inserted) id_bytes += entry.id.size();
  outline.storage_.reserve(id_bytes);
  outline.ids_.reserve(ids_.size() + inserted.size());
  const auto add = [&](std::string_view text, uint64_t place) {
    outline.ids_.push_back(Id{outline.storage_.size(), text.size(), place});
    outline.storage_ += text;
  };
  auto old_id = ids_.begin();
  for (size_t k : by_id) {
    for (; old_id != ids_.end() && Text(*old_id) <= inserted[k].id; ++old_id) {
      add(Text(*old_id), old_id->place == kNoPlace ? kNoPlace : moved(old_id->place));
    }
    add(inserted[k].id, inserted[k].offset + uid_shift + before[k]);
  }
  for (; old_id != ids_.end(); ++old_id) {
    add(Text(*old_id), old_id->place == kNoPlace ? kNoPlace : moved(old_id->place));
  }
  return outline;
}

}  // namespace qx
