#pragma once
// Saving the document of an index object that stays open (the held-index
// path), and writing the items whose changes are still pending back to
// their files before the index is committed.
//
// Another writer is detected by the index stamp, and by the file's version
// for a document this object read (index_file_write.h): someone else wrote
// the file since this object loaded or last saved it. The file is written
// all the same (with the other writer's changes kept, when this object read
// its document from the file), the save reports 0 and the folder is marked
// dirty ("_CHANGE.DTY"), so the next check-dirty open rescans it from the
// message files.

#include <cstdint>

#include "xml/xml_document.h"
#include "qxstore.h"

namespace qx {

// Save modes: kSaveSorted also runs StoreIndex_Sort afterwards.
inline constexpr uint32_t kSavePlain = 0;
inline constexpr uint32_t kSaveSorted = 20;

// Block modes: kBlockHeldByCaller means the caller holds the folder's
// block file already, so the save must not take it.
inline constexpr uint32_t kSaveTakesBlock = 0;
inline constexpr uint32_t kBlockHeldByCaller = 99;

// The held-index save, under the object's StoreIndex mutex. 0 when the
// object holds no document. With an empty folder directory nothing is
// written and the result is 1. Otherwise creates the folder directory when
// missing, takes the folder's block file (unless the caller holds it; 0
// when it is busy), writes the index file through a temporary file and
// compares stamps as above. On 1 the object keeps the file's new stamp and
// its modified flag is cleared; on 0 the folder is marked dirty and the flag
// stays set; the stamp stays as it was, unless the file was written after
// another writer's (the object then holds what the file holds, and keeps its
// stamp). The result is 0 for a null object.
uint32_t SaveHeldIndex(StoreIndex* index, uint32_t mode, uint32_t block_mode);

// StoreIndex_Save: SaveHeldIndex with the object taking the block itself.
uint32_t StoreIndexSave(StoreIndex* index, uint32_t mode);

// Writes one entry's item back to its file (message headers, a vCard, an
// appointment) from the entry's values. Registered by the item families for
// their folder types; true when written.
using PendingItemWriter = bool (*)(StoreIndex* index, pugi::xml_node entry);

// Registers (or, with null, withdraws) the writer of a folder type.
void SetPendingItemWriter(uint32_t folder_type, PendingItemWriter writer);
PendingItemWriter PendingItemWriterFor(uint32_t folder_type);

// The save of the store-item interface: when the object holds a document
// with a root and its modified flag is 1, every entry marked pending (in
// document order) loses its mark and has its item written back by the
// writer of the folder type (when one is registered); then the index is
// committed and the modified flag cleared. Holds the StoreIndex mutex
// throughout. 1 for any object, 0 for a null one.
uint32_t SavePendingItems(StoreIndex* index);

}  // namespace qx
