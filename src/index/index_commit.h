#pragma once
// The commit of a held index object (named StoreIndex_Commit in its
// messages): the changes made to its document reach "_index.xml", and the
// folder status counted from the document is cached in "_FOLDER.DAT".

#include <cstdint>

#include "qxstore.h"

namespace qx {

// When the object's modified flag is 1: refuses (0, with "WARNING!:
// StoreIndex Folder has not been set. Commit is ignored\n" printed) while
// the folder directory is empty; else, under the StoreIndex mutex, saves
// the document (SaveHeldIndex, mode 0, taking the block), counts the folder
// status into the object and writes it with SetCachedStatus for the
// object's names. A save that found another writer has still written the
// file and marked the folder dirty; the commit's result does not tell.
// 1 for any non-null object, also when nothing was modified. A null object
// prints "WARNING!: StoreIndex is NULL when passed to StoreIndex_Commit\n"
// and gives 0.
uint32_t CommitStoreIndex(StoreIndex* index);

}  // namespace qx
