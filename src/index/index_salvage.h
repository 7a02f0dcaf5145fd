#pragma once
// What a damaged index file still holds. An index is a cache of its
// folder's message files, but the UIDs and flags it holds are not in those
// files: an index that does not load is not started over empty. Its bytes
// are read leniently, entry by entry, every entry still whole is kept with
// its UID and flags, the damaged file is kept beside the index as
// "_index.bad", and the scan rebuilds the rest from the message files.

#include <cstdint>
#include <string>
#include <string_view>

#include "xml/xml_document.h"

namespace qx {

struct SalvagedIndex {
  uint32_t entries_found = 0;  // entry starts in the text
  uint32_t entries_kept = 0;   // of them, entries that parse whole and carry an ID
  bool last_uid_read = false;  // the root's LASTUID could be read
  uint32_t last_uid = 0;       // LASTUID, raised above every UID kept
};

// Fills `document` (a new document) with a root holding the whole entries
// of the damaged index text `text`: each element ELEMENT that parses on
// its own and has a non-empty ID, the first of each ID, in the order a
// listing gives their IDs (the order the scan merges in). LASTUID is the
// root's, when it can be read, raised to the highest UID kept.
SalvagedIndex SalvageIndexText(std::string_view text, const XmlDocument& document);

// For a folder whose index file exists but does not load: keeps its bytes
// as kDamagedIndexFileName (durably, replacing an older one), fills `document` as
// SalvageIndexText does and prints one line saying what was kept ("Fixed
// index file ..."). False, with `document` left alone, when the file is
// empty or cannot be read: there is nothing to keep.
bool SalvageDamagedIndex(std::string_view folder_directory, std::string_view index_path,
                         const XmlDocument& document, SalvagedIndex* salvaged);

}  // namespace qx
