#pragma once
// Opening a folder's index object: reuse the document already held while
// the index file's stamp is unchanged, rescan the folder when it is marked
// changed, else load the index file.

#include <cstdint>

#include "index/folder_status.h"
#include "qxstore.h"

namespace qx {

// Open modes.
inline constexpr uint32_t kOpenCheckDirty = 1;          // notify, dirty check, reuse or load, sort
inline constexpr uint32_t kOpenReindex = 2;             // full scan, load, sort
inline constexpr uint32_t kOpenCheckDirtyQuietly = 4;   // as 1 without the notification
inline constexpr uint32_t kOpenLoad = 5;                // load at once, sort
inline constexpr uint32_t kOpenCheckDirtyUnsorted = 6;  // as 1 without the sort
// Any other mode: reuse when unchanged, else load; then sort.

inline constexpr uint32_t kOpenFailed = 0;
inline constexpr uint32_t kOpenLoaded = 1;
inline constexpr uint32_t kOpenReused = 2;
inline constexpr uint32_t kOpenCounted = 3;

// StoreIndex_Open: 0 failure (null object, blank folder directory, an index
// that cannot be loaded: the object then holds no document), 1 loaded or
// reloaded, 2 the document held was reused unchanged (no file was read).
// Modes 1, 4 and 6 take the folder's block file for the dirty check: a
// consumed "_CHANGE.DTY", a folder without an index file, or new mail in a
// folder named literally "Inbox" makes them rescan the folder first. When
// the block is busy the check is skipped. Mode 1 also tells the mailbox's
// connected clients ("COMMIT") while "Store Event Notification Mode" is 4.
// REQUIRES: the folder directory is set (StoreIndex_SetPaths); callers
// serialise opens of one object (the index mutex of the registry).
uint32_t OpenStoreIndex(StoreIndex* index, uint32_t mode);

// A status query on the folder: the dirty check of mode 1 (a folder marked
// changed is rescanned), then the status counts of its index file into
// `status`. When the index file is provably the one the derived cache
// counted (index_status_cache.h), they come from there and the object holds
// no document: 3. Otherwise the index is opened as mode 1 opens it (1 or 2,
// 0 on failure) and the counts are kept for the next process. The object's
// index_file_size is set either way.
uint32_t OpenIndexForStatus(StoreIndex* index, FolderStatusRecord status);

// StoreIndex_Get: makes sure the object holds a document by folder type:
// the registered document of contact and calendar folders, the task
// document for tasks, else OpenStoreIndex(index, 5). 1; 0 with "WARNING!:
// StoreIndex is NULL when passed to StoreIndex_Get\n" for a null object.
uint32_t GetStoreIndex(StoreIndex* index);

// StoreIndex_Scan: the type scan with mode 1. 1; 0 with "WARNING!:
// StoreIndex is NULL when passed to StoreIndex_Scan\n" for a null object.
uint32_t ScanStoreIndex(StoreIndex* index);

}  // namespace qx
