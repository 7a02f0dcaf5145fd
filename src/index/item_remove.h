#pragma once
// Removing one entry from a held index document.

#include <atomic>
#include <cstdint>
#include <string_view>

#include "qxstore.h"

namespace qx {

class EntryLookup;

// Removes the entry whose ID is `file_name`. When `size` is given it
// receives the entry's SIZE (0 when it has none). When the entry was the
// current entry, the object is left without one. 1 removed; 0 when the
// object holds no document with a root, or no entry has that ID (*size is
// then untouched). Takes the StoreIndex mutex. With `lookup` (built on the
// object's document) the entry is found through it, which is told of the
// removal.
uint32_t RemoveIndexEntry(StoreIndex* index, std::string_view file_name, uint32_t* size,
                          EntryLookup* lookup = nullptr);

// Counts the entries RemoveIndexEntry has removed in this process. Node
// handles taken from a held document before the count moved may name a
// removed entry; holders that outlive the StoreIndex mutex (the item
// records of the store-item interface) compare it before they use theirs.
// Read it under the StoreIndex mutex of the document the handles are in.
// Inline: every call of the store-item interface reads it.
extern std::atomic<uint64_t> g_entry_removals;
inline uint64_t EntryRemovalCount() { return g_entry_removals.load(); }

// StoreIndex_RemoveItem: RemoveIndexEntry without the size; `mode` is not
// read. A null object prints "WARNING!: StoreIndex is NULL when passed to
// RemoveStoreItemByMessageID\n" and gives 0, as does a null name.
uint32_t StoreIndexRemoveItem(StoreIndex* index, const char* file_name, uint32_t mode);

}  // namespace qx
