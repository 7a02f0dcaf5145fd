#pragma once
// Saving what the store-item interface changed: StoreFolder_Save (the
// thread's folder), Store_Save (every folder in the registry) and
// StoreItem_SaveToStore (the current item). Folder saves hold the index
// mutex (after the registry mutex for Store_Save), so that they never run
// into the block file of an open in this process.

#include <cstdint>

#include "frame/thread_record.h"

namespace qx {

// The record's folder: every entry marked pending has its mark removed and
// its item written back by its kind, then the index is committed
// ("_index.xml" and the folder status). An item opened alone has its
// pending entries written back; its index, which holds that item only, is
// never committed. 1, also with no folder open.
uint32_t SaveRecordFolder(STOREINDEXTYPE& record);

// Every index object in the registry with a folder directory, under the
// registry mutex: pending items written back, then committed. Items opened
// alone are written by their own thread's saves. 1.
uint32_t SaveAllFolders();

// The current item's pending mark is removed and its item written back by
// its kind; the index keeps the change for the next commit. 1; 0 with no
// folder open.
uint32_t SaveRecordItem(STOREINDEXTYPE& record);

}  // namespace qx
