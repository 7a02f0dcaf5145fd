#pragma once
// What an index object keeps with the document it holds, beside the fields
// of its record: whether the document is the index file as it was read (or
// last written), that file's version (platform/file_version.h), and the
// changes made to the document since (index_changes.h). It lives with the
// object's handle of the document, so a document handed to the object by
// other means starts with nothing known about its file.
//
// The version is the other half of the test for another writer: the index
// stamp has a grain of two seconds, the version tells two writings apart
// within them.

#include <optional>
#include <string_view>

#include "index/index_changes.h"
#include "platform/file_version.h"
#include "qxstore.h"

namespace qx {

struct HeldIndexState {
  // The document was read from the index file, or written to it, through
  // this object: the changes below are all that sets the two apart.
  bool read_from_file = false;
  // The version of the file then; none when there was no file (the document
  // started empty).
  std::optional<platform::FileVersion> file_version;
  IndexChanges changes;
};

// The state of the object's document; null when it holds none.
// REQUIRES: the StoreIndex mutex is held, when the object has one.
HeldIndexState* HeldStateOf(const StoreIndex* index);

// Records that the object's document is the index file of `version` (none:
// there was no file) and forgets the changes made before.
void NoteDocumentIsFile(StoreIndex* index, const std::optional<platform::FileVersion>& version);

// The change notes of the item operations. Nothing happens for a null
// object or one that holds no document.
void NoteEntryInserted(const StoreIndex* index, std::string_view id);
void NoteEntryRemoved(const StoreIndex* index, std::string_view id);
void NoteEntryChildSet(const StoreIndex* index, std::string_view id, std::string_view child);

}  // namespace qx
