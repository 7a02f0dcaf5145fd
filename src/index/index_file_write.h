#pragma once
// Writing an index object's document to its index file, for both commit
// paths (the held index and the transaction), and the test for another
// writer that both make first.
//
// Another writer was there when the file's stamp is not the one the object
// keeps, or, for a document the object read from the file, when the file's
// version (device, inode, size, modification time to the nanosecond) is
// not the one read: that tells apart writes within the stamp's two seconds.
// Then, when the object read its document from the file and the file now
// loads, the object's changes (held_index_state.h) are applied to the file
// as it now is (index_merge.h), the object holds the result, and that is
// written: neither writer's changes are lost. Otherwise (a document that
// was not read from the file, or a file gone or damaged) the object's
// document is written as it is. Either way the commit reports the other
// writer, as it always did, so that the folder is marked for a rescan.
// In a mail folder, entries that share a UID are renumbered first
// (index_uid_repair.h).

#include "qxstore.h"

namespace qx {

struct IndexFileWrite {
  bool written = false;       // the file holds the object's document now
  bool other_writer = false;  // the file was not as the object read or last wrote it
  uint32_t error = 0;         // why the file could not be written (a last-error code)
};

// REQUIRES: the folder's block file is held, and the StoreIndex mutex when
// the object has one; the object holds a document.
IndexFileWrite WriteObjectIndexFile(StoreIndex* index);

}  // namespace qx
