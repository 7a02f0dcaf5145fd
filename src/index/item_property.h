#pragma once
// Writing one field of an index entry for the store-item interface (whose
// property tables, store/property_map.h, name the field): every write marks
// the entry pending (QX_STATUS) until the item's file is written.

#include <cstdint>
#include <string_view>

#include "xml/xml_document.h"
#include "qxstore.h"

namespace qx {

// Sets the text of the child `index_name` of an entry and marks the entry
// pending: a QX_STATUS child holding "1". With an index object (the
// store-item path) and no entry in *entry yet, the entry with ID `item_id`
// is taken, or created (an ELEMENT with only that ID, appended to the root)
// when there is none and `item_id` is not empty; the object's modified flag
// becomes 1. Without an object the entry in *entry is used. 1 written; 0
// when there is no entry to write to.
uint32_t SetEntryProperty(StoreIndex* index, pugi::xml_node* entry, std::string_view item_id,
                          const char* index_name, std::string_view text);

}  // namespace qx
