#pragma once
// Choosing the current item of a thread's open folder: walking its items
// (StoreFolder_FindFirstItem, StoreFolder_FindNextItem), selecting one by
// its identifier or a field (StoreFolder_SelectItem*), and creating and
// deleting items (StoreFolder_CreateItem, StoreFolder_DeleteItem). Each
// returns 0 when the record has no folder open.

#include <cstdint>
#include <string_view>

#include "frame/thread_record.h"

namespace qx {

// A folder of type 5 asks its calendar feed. Otherwise the index document is
// loaded when the folder was opened without it (open mode 200) and a walk
// through its entries ("BASEELEMENT/ELEMENT", in document order) starts at
// the first, which becomes the current item. Nonzero when a first item
// became current.
uint32_t FindFirstRecordItem(STOREINDEXTYPE& record);
// The next entry of the walk becomes current; 0 at the end (no current item
// then) or before FindFirst. The walk goes on from where it was, whatever
// item a select made current meanwhile.
uint32_t FindNextRecordItem(STOREINDEXTYPE& record);

// The entry whose ID is `item_id` becomes current: 1; 0 when there is none
// (the current item stays).
uint32_t SelectRecordItem(STOREINDEXTYPE& record, std::string_view item_id);
// The first entry whose child `field` holds `value` (exactly, or without
// regard to case in its first 259 bytes with ignore_case) becomes current.
uint32_t SelectRecordItemByField(STOREINDEXTYPE& record, std::string_view field,
                                 std::string_view value, bool ignore_case);

// 1 when the identifier is empty, or names an existing entry (which becomes
// current). Otherwise a new entry with that ID is inserted as the index
// inserts a file that is not read (messages get the next UID), becomes
// current, and the index is marked modified; the insert's result is
// returned. 0 for an identifier that is not a plain file name.
uint32_t CreateRecordItem(STOREINDEXTYPE& record, std::string_view item_id);

// Marks the index modified, lets the kind remove what the item keeps besides
// its entry, and removes the entry: the index removal's result (1 removed,
// 0 no such entry).
uint32_t DeleteRecordItem(STOREINDEXTYPE& record, std::string_view item_id);

}  // namespace qx
