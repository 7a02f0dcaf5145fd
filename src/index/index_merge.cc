#include "index/index_merge.h"

#include <algorithm>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>

#include "frame/number_text.h"
#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/index_format.h"

namespace qx {

namespace {

constexpr uint32_t kLastPossibleUid = std::numeric_limits<uint32_t>::max();

using EntriesById = std::unordered_map<std::string_view, pugi::xml_node>;

std::string_view EntryId(pugi::xml_node entry) { return entry.attribute(kIdAttribute).value(); }

uint32_t EntryUid(pugi::xml_node entry) {
  return LeadingUnsigned32(entry.attribute(kUidAttribute).value());
}

// The first entry of each ID. The views point into the document.
EntriesById MapEntries(pugi::xml_node root) {
  EntriesById entries;
  for (pugi::xml_node entry = root.child(kEntryElement); entry;
       entry = entry.next_sibling(kEntryElement)) {
    entries.try_emplace(EntryId(entry), entry);
  }
  return entries;
}

pugi::xml_node FirstEntryAfter(pugi::xml_node root, std::string_view id) {
  for (pugi::xml_node entry = root.child(kEntryElement); entry;
       entry = entry.next_sibling(kEntryElement)) {
    if (EntryId(entry).compare(id) > 0) return entry;
  }
  return pugi::xml_node();
}

void CopyChild(pugi::xml_node from_entry, pugi::xml_node to_entry, const std::string& name) {
  const pugi::xml_node from = from_entry.child(name.c_str());
  pugi::xml_node to = to_entry.child(name.c_str());
  if (!from) {
    while (to) {
      to_entry.remove_child(to);
      to = to_entry.child(name.c_str());
    }
    return;
  }
  if (!to) to = to_entry.append_child(name.c_str());
  SetElementText(to, GetElementText(from));
}

class Merge {
 public:
  Merge(const XmlDocument& ours, const IndexChanges& changes, const XmlDocument& theirs,
        bool assigns_uids)
      : changes_(changes),
        our_root_(ours.DocumentElement()),
        their_root_(theirs.DocumentElement()),
        theirs_(theirs),
        assigns_uids_(assigns_uids) {}

  MergeOutcome Run() {
    ours_ = MapEntries(our_root_);
    theirs_by_id_ = MapEntries(their_root_);
    const uint32_t their_last = HighestUidOfTheirs();
    next_uid_ = std::max(their_last, HighestKeptUid(their_last));
    for (const auto& [id, change] : changes_.entries()) Apply(id, change, their_last);
    if (assigns_uids_) SetDocumentLastUid(theirs_, next_uid_);
    return outcome_;
  }

 private:
  uint32_t HighestUidOfTheirs() const {
    uint32_t highest = DocumentLastUid(theirs_);
    for (const auto& [id, entry] : theirs_by_id_) highest = std::max(highest, EntryUid(entry));
    return highest;
  }

  // The UIDs this object handed out that nobody else can have handed out.
  uint32_t HighestKeptUid(uint32_t their_last) const {
    uint32_t highest = 0;
    for (const auto& [id, change] : changes_.entries()) {
      const auto ours = ours_.find(id);
      if (!change.inserted || ours == ours_.end() || theirs_by_id_.contains(id)) continue;
      const uint32_t uid = EntryUid(ours->second);
      if (uid > their_last) highest = std::max(highest, uid);
    }
    return highest;
  }

  void Apply(const std::string& id, const EntryChange& change, uint32_t their_last) {
    auto theirs = theirs_by_id_.find(id);
    if (change.removed_from_file && theirs != theirs_by_id_.end()) {
      const pugi::xml_node gone = theirs->second;
      theirs_by_id_.erase(theirs);  // its key lives in the node
      their_root_.remove_child(gone);
      theirs = theirs_by_id_.end();
    }
    const auto ours = ours_.find(id);
    if (ours == ours_.end()) return;
    if (theirs != theirs_by_id_.end()) {
      for (const std::string& child : change.children) CopyChild(ours->second, theirs->second, child);
    } else if (change.inserted) {
      CopyInserted(ours->second, their_last);
    }
  }

  void CopyInserted(pugi::xml_node entry, uint32_t their_last) {
    const std::string_view id = EntryId(entry);
    uint32_t uid = EntryUid(entry);
    const bool renumber = assigns_uids_ && uid <= their_last;
    if (renumber && next_uid_ == kLastPossibleUid) {
      ++outcome_.left_out;
      return;
    }
    pugi::xml_node copy =
        their_root_.insert_copy_before(entry, FirstEntryAfter(their_root_, id));
    if (!copy) copy = their_root_.append_copy(entry);
    if (!copy) return;
    if (renumber) {
      uid = ++next_uid_;
      SetAttribute(copy, kUidAttribute, std::to_string(uid));
      ++outcome_.renumbered;
    }
    theirs_by_id_.try_emplace(EntryId(copy), copy);
  }

  const IndexChanges& changes_;
  pugi::xml_node our_root_;
  pugi::xml_node their_root_;
  const XmlDocument& theirs_;
  const bool assigns_uids_;
  EntriesById ours_;
  EntriesById theirs_by_id_;
  uint32_t next_uid_ = 0;
  MergeOutcome outcome_;
};

}  // namespace

MergeOutcome MergeIndexChanges(const XmlDocument& ours, const IndexChanges& changes,
                               const XmlDocument& theirs, bool assigns_uids) {
  if (!ours.DocumentElement() || !theirs.DocumentElement()) return MergeOutcome{};
  return Merge(ours, changes, theirs, assigns_uids).Run();
}

}  // namespace qx
