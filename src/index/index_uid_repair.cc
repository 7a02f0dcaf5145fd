#include "index/index_uid_repair.h"

#include <algorithm>
#include <limits>
#include <string>
#include <unordered_set>
#include <vector>

#include "frame/number_text.h"
#include "index/index_document.h"
#include "index/index_format.h"
#include "platform/diagnostics.h"

namespace qx {

namespace {

constexpr uint32_t kLastPossibleUid = std::numeric_limits<uint32_t>::max();

uint32_t EntryUid(pugi::xml_node entry) {
  return LeadingUnsigned32(entry.attribute(kUidAttribute).value());
}

// Whether two entries share a UID (0 aside); `highest` receives the highest.
bool HasDuplicateUids(pugi::xml_node root, uint32_t* highest) {
  std::vector<uint32_t> uids;
  *highest = 0;
  for (pugi::xml_node entry = root.child(kEntryElement); entry;
       entry = entry.next_sibling(kEntryElement)) {
    const uint32_t uid = EntryUid(entry);
    if (uid == 0) continue;
    uids.push_back(uid);
    *highest = std::max(*highest, uid);
  }
  std::sort(uids.begin(), uids.end());
  return std::adjacent_find(uids.begin(), uids.end()) != uids.end();
}

}  // namespace

uint32_t RepairEntryUids(const XmlDocument& document, std::string_view index_path) {
  pugi::xml_node root = document.DocumentElement();
  if (!root) return 0;
  uint32_t highest = 0;
  const bool duplicates = HasDuplicateUids(root, &highest);
  uint32_t last_uid = std::max(DocumentLastUid(document), highest);
  if (last_uid != DocumentLastUid(document)) SetDocumentLastUid(document, last_uid);
  if (!duplicates) return 0;

  uint32_t renumbered = 0;
  std::unordered_set<uint32_t> seen;
  for (pugi::xml_node entry = root.child(kEntryElement); entry;
       entry = entry.next_sibling(kEntryElement)) {
    const uint32_t uid = EntryUid(entry);
    if (uid == 0 || seen.insert(uid).second) continue;
    if (last_uid == kLastPossibleUid) break;
    entry.attribute(kUidAttribute).set_value(std::to_string(++last_uid).c_str());
    seen.insert(last_uid);
    ++renumbered;
  }
  SetDocumentLastUid(document, last_uid);
  platform::DiagPrintf("Fixed index file %s: %u entries that shared a UID renumbered above LASTUID, now %u\n",
                       std::string(index_path).c_str(), renumbered, last_uid);
  return renumbered;
}

}  // namespace qx
