#pragma once
// Reading and writing one named property of a store item: the generic
// read and write by a kind's property table (which kinds may replace, see
// item_kinds.h), the context properties every kind answers, and the
// StoreItem_GetProperty and StoreItem_SetProperty of a thread's record.

#include <cstdint>
#include <string_view>

#include "frame/thread_record.h"
#include "store/item_kinds.h"

namespace qx {

// The generic read. The name is looked up in the kind's table (common
// entries first) and read by its source: an index field from the item's
// entry ("@ID" its ID attribute, "!CLASS" its folder type), converted from
// the stored text to the caller type; content through the kind's content
// reader; a file time from a directory search for the item's file; the
// file type from the text "file". A name the table does not know goes to
// the context properties. Result 2 with the caller's bytes, 1 for a
// plain-text (type 1) field pointing into the entry, 0 when not found (no
// entry, no such field, a value that does not convert).
// REQUIRES: the StoreIndex mutex of item.index is held (when set).
PropertyRead ReadItemProperty(const ItemKind& kind, const ItemRef& item, std::string_view name);

// QX_POSTOFFICE, QX_MAILBOX, QX_FOLDER and QX_FOLDER_PATH: the item's names
// and folder directory as text (result 2, size length + 1); an empty value,
// or any other name, is not found (0).
PropertyRead ReadContextProperty(const ItemRef& item, std::string_view name);

// The generic write of `value` (in the property's caller type): index
// fields through the index's entry write (the field set, the entry marked
// pending, and the object's modified flag set when item.index is given);
// content through the kind's content writer. IDs, classes, file times and
// the file type are read-only.
// REQUIRES: the StoreIndex mutex of item.index is held (when set).
PropertyWrite WriteItemProperty(const ItemKind& kind, const ItemRef& item, std::string_view name,
                                const void* value);

// StoreItem_GetProperty for `record`: a folder of type 5 asks its calendar
// feed; otherwise the record's item names are filled in from its index
// object when still empty and, under the StoreIndex mutex, the current item
// is read by its kind. 0 without an open folder.
PropertyRead GetRecordProperty(STOREINDEXTYPE& record, std::string_view name);

// StoreItem_SetProperty for `record`: a non-empty `item_id` first selects,
// or creates, that item as StoreFolder_CreateItem does; then the current
// item is written by its kind under the StoreIndex mutex. kNoItem without
// an open folder or a current item.
PropertyWrite SetRecordProperty(STOREINDEXTYPE& record, std::string_view item_id,
                                std::string_view name, const void* value);

}  // namespace qx
