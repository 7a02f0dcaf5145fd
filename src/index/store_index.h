#pragma once
// The life of a folder's index object (StoreIndex, declared in qxstore.h):
// what the open index registry needs to create, share and destroy one.

#include <cstdint>

#include "qxstore.h"

namespace qx {

// A loaded index document is held through StoreIndex::folder_index as a
// pointer to a heap object of a class derived from this one; releasing the
// index deletes it.
class IndexDocumentHolder {
 public:
  virtual ~IndexDocumentHolder() = default;
};

// A new, initialised object without a mutex; null when memory runs out.
StoreIndex* CreateStoreIndex();

// Clears the names, the folder directory, the counts, stamps and flags,
// both references, the folder type, the use count and the mutex handle
// (without closing a mutex it held). 0 with "WARNING!: StoreIndex is NULL
// when passed to StoreIndex_Init\n" on standard output for a null index.
uint32_t InitStoreIndex(StoreIndex* index);

// Creates the object's StoreIndex mutex (unnamed, not owned); false when the
// platform cannot create one.
bool CreateStoreIndexMutex(StoreIndex* index);

// Drops the current entry and the loaded document, clears the index stamp
// and the index file size, closes the StoreIndex mutex and clears its
// handle. 0 for a null index, else 1.
uint32_t ReleaseStoreIndex(StoreIndex* index);

// Drops the loaded document (and the current entry, which lives in it)
// without touching the mutex.
void ReleaseIndexDocument(StoreIndex* index);

void ClearFolderDirectory(StoreIndex* index);

// Frees an object made by CreateStoreIndex. REQUIRES: released first.
void DestroyStoreIndex(StoreIndex* index);

}  // namespace qx
