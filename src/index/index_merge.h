#pragma once
// How a commit answers another writer. The index object's document `ours`
// was read from the index file and then changed (index_changes.h); the file
// has since been written by someone else and now reads as `theirs`. The
// changes are applied to `theirs`, which is then written, so that neither
// writer's changes are lost:
//   - an entry of the file that this object removed is removed;
//   - an entry this object inserted is copied in before the first entry
//     whose ID is greater byte by byte, unless `theirs` holds that ID
//     already (then only the children this object set are copied);
//   - every child this object set on an entry that `theirs` still holds is
//     copied, or removed when `ours` no longer has it; an entry the other
//     writer removed stays removed.
// In a mail folder no UID is handed out twice: an inserted entry keeps its
// UID when that is above every UID `theirs` knows (its LASTUID and its
// entries), else it gets the next one above every UID of both; LASTUID
// becomes the highest UID handed out. A folder whose UIDs have run out
// gets no new entry (its file is indexed by a later scan, which refuses it
// the same way).

#include <cstdint>

#include "index/index_changes.h"
#include "xml/xml_document.h"

namespace qx {

struct MergeOutcome {
  uint32_t renumbered = 0;  // inserted entries that got a new UID
  uint32_t left_out = 0;    // inserted entries for which no UID was left
};

MergeOutcome MergeIndexChanges(const XmlDocument& ours, const IndexChanges& changes,
                               const XmlDocument& theirs, bool assigns_uids);

}  // namespace qx
