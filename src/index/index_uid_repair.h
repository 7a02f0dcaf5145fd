#pragma once
// Keeping a mail folder's UIDs unique. Only this store's writers hand out
// UIDs, each from LASTUID + 1, so two entries with one UID, or a UID above
// LASTUID, come from a damaged file or a writer that broke the rules; left
// alone they would make clients take one message for another. Every commit
// of a mail folder's index repairs them before it writes.

#include <cstdint>
#include <string_view>

#include "xml/xml_document.h"

namespace qx {

// Raises LASTUID to the highest UID of the entries, and gives every entry
// whose UID an earlier entry (in document order) already has the next UID
// above LASTUID. Entries without a UID, or with UID 0, are left as they
// are. When UIDs run out, the rest keep their duplicates. Prints one line
// naming `index_path` when something was renumbered. Returns how many
// entries got a new UID. One pass over the UIDs when nothing is wrong.
uint32_t RepairEntryUids(const XmlDocument& document, std::string_view index_path);

}  // namespace qx
