#pragma once
// The open index registry: the process-wide map from index key to the
// shared StoreIndex object that per-thread records hold a counted reference
// to.
//
// Lock order: the registry mutex (guards the map and every use count), then
// the index mutex (guards creating, opening and releasing index objects).
// No code takes them the other way round. Both waits are infinite.

#include <cstdint>
#include <functional>
#include <string>

#include "frame/thread_record.h"
#include "platform/mutex.h"
#include "qxstore.h"

namespace qx {

// 1 (each record keys its own index object) or 0 (threads share one object
// per folder). 1 when the library is loaded.
uint32_t AffinityMode();
// Mode 1 turns affinity on; any other value turns it off.
void SetAffinityMode(uint32_t mode);

// Sets record->index_key from the record's postoffice, mailbox and folder:
// "[%s][%s][%s]", with "[%ld]" of the record's serial appended while
// affinity is on. False (and an empty key) when the key does not fit.
bool SetFolderIndexKey(STOREINDEXTYPE* record);
// The single-item form: "[%s][%s][%s][%s]" with the item identifier fourth,
// and the record's serial fifth while affinity is on.
bool SetItemIndexKey(STOREINDEXTYPE* record, const char* item_id);

// Creates the registry and index mutexes when they do not exist (they are
// also created on first use). False when either cannot be created.
bool CreateRegistryMutexes();
// The library's unload closes the index mutex; the registry mutex is left
// to process exit.
void CloseIndexMutex();
// The index mutex callers hold while they fill in and open an index object;
// null when it cannot be created.
platform::MutexHandle IndexMutex();

// Finds the object registered under record->index_key (result 2) or creates,
// initialises (with its StoreIndex mutex) and registers a new one (result
// 1); either way record->index points at it and its use count went up by
// one. When the registry mutex cannot be taken the result is 1 with
// record->index left null. 0 when a new object cannot be allocated.
// REQUIRES: record->index is null and record->index_key is set.
uint32_t AttachToIndex(STOREINDEXTYPE* record);

// Gives up the record's hold on its index object: drops the current item and
// the item list and counts down; the last holder removes the object from
// the registry and releases and destroys it, which also clears the record's
// identity. Then empties the index key; with clear 1 also the postoffice,
// mailbox, folder and the four item strings, and the index pointer. The
// folder type and the provider buffer are kept.
void TLSStoreIndex_Close(STOREINDEXTYPE* record, uint32_t clear);

// Calls visit for every registered object under the registry mutex.
void ForEachOpenIndex(const std::function<void(const std::string& key, StoreIndex* index)>& visit);

// The object registered under key, or null (a snapshot; for checks).
StoreIndex* FindOpenIndex(const std::string& key);
size_t OpenIndexCount();

}  // namespace qx
