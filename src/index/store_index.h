#pragma once
// A folder's index object (StoreIndex, declared in qxstore.h): its life,
// its names and directory, the document and current entry it holds, and
// its StoreIndex mutex.
//
// The StoreIndex mutex guards the object's document, current entry, stamp
// and counts. It is recursive: the commit holds it while the save takes it
// again, and an open holds it while it sorts. Lock order: the registry
// mutex, the index mutex (frame/index_registry.h), then StoreIndex mutexes.
// Across processes the folder's block file is the lock; the dirty check
// takes the block before the mutex, a load takes the mutex before the
// block, so opens of one object are serialised by their callers.

#include <cstdint>
#include <string>
#include <string_view>

#include "folder/folder_types.h"
#include "xml/xml_document.h"
#include "platform/mutex.h"
#include "qxstore.h"

namespace qx {

// The stamp stored when the index file has none.
inline constexpr uint32_t kNoIndexStamp = 0xFFFFFFFF;

// The folder type a folder name gives: leading '/' and '\' skipped, then
// "CALENDAR" 2, "TASKS" 3, "CONTACTS" 1 (any case), and 1 for a name in the
// postoffice's contact store ("$VCFROOT" as a prefix, as the store paths
// read it: its folders hold only vCards, and a message scan would empty
// their index), anything else 0. The group type is never derived from a name.
uint32_t FolderTypeFromName(std::string_view folder_name);

// A new, initialised object without a mutex; null when memory runs out.
StoreIndex* CreateStoreIndex();

// Clears the names, the folder directory, the counts, stamps and flags,
// both references, the folder type, the use count and the mutex handle
// (without closing a mutex it held). 0 with "WARNING!: StoreIndex is NULL
// when passed to StoreIndex_Init\n" on standard output for a null index.
uint32_t InitStoreIndex(StoreIndex* index);

// Creates the object's StoreIndex mutex (unnamed, not owned); false when the
// platform cannot create one. Objects without a mutex (private ones on the
// stack) run unguarded.
bool CreateStoreIndexMutex(StoreIndex* index);

// Copies the three names into the object (each cut to its field); null
// names are empty.
void SetStoreIndexNames(StoreIndex* index, const char* postoffice, const char* mailbox,
                        const char* folder);

// StoreIndex_SetPaths: when the folder directory is set, 1 at once; else
// builds it from the names by the index rule of the store paths, creating
// the directories of the contact, file and public trees when missing, and
// returns 1. 0 with "WARNING!: StoreIndex is NULL when passed to
// StoreIndex_SetPaths\n" for a null index.
uint32_t SetStoreIndexPaths(StoreIndex* index);

// Sets the folder directory to `directory` (cut to its field).
void SetFolderDirectory(StoreIndex* index, std::string_view directory);
void ClearFolderDirectory(StoreIndex* index);

// The document the object holds; none when it holds none.
XmlDocument HeldDocument(const StoreIndex* index);

// Whether the object holds `document` (both none counts), without taking a
// reference to it. Inline: every call of the store-item interface asks.
inline bool HoldsDocument(const StoreIndex* index, const XmlDocument& document) {
  return document.SameAsHandle(index->folder_index);
}

// Makes `document` the object's document (a counted reference); the one it
// held before is dropped, with the current entry. A document that holds
// nothing leaves the object without one.
void HoldDocument(StoreIndex* index, const XmlDocument& document);

// The current entry (IndexNode), or an empty node. Valid while the held
// document lives and the entry has not been removed.
pugi::xml_node CurrentEntry(const StoreIndex* index);
void SetCurrentEntry(StoreIndex* index, pugi::xml_node entry);

// Drops the loaded document (and the current entry, which lives in it)
// without touching the mutex.
void ReleaseIndexDocument(StoreIndex* index);

// StoreIndex_Release: drops the current entry and the loaded document,
// clears the index stamp and the index file size, closes the StoreIndex
// mutex and clears its handle. 0 for a null index, else 1.
uint32_t ReleaseStoreIndex(StoreIndex* index);

// Frees an object made by CreateStoreIndex. REQUIRES: released first.
void DestroyStoreIndex(StoreIndex* index);

// Holds the object's StoreIndex mutex for its scope, waiting without a
// time-out. A mutex whose owner thread died is taken over. Without a mutex
// (or a null object) it holds nothing.
class StoreIndexLock {
 public:
  explicit StoreIndexLock(const StoreIndex* index);
  ~StoreIndexLock();
  StoreIndexLock(const StoreIndexLock&) = delete;
  StoreIndexLock& operator=(const StoreIndexLock&) = delete;

 private:
  platform::MutexHandle mutex_ = nullptr;
};

}  // namespace qx
