#pragma once
// Reading and writing one named property of an index entry for the
// store-item interface: the property name is mapped to the entry's child by
// the property table of the item's folder type, and every write marks the
// entry pending (QX_STATUS) until the item's file is written.

#include <cstdint>
#include <string_view>

#include "xml/xml_document.h"
#include "qxstore.h"

namespace qx {

// Value type codes handed to callers (the subset message items use).
inline constexpr uint32_t kValueTypeInteger = 7;  // 32-bit signed integer
inline constexpr uint32_t kValueTypeText = 8;     // allocated text, length + 1

// Property results.
inline constexpr uint32_t kPropertyNotFound = 0;
inline constexpr uint32_t kPropertyAllocated = 2;  // free with Memory_Free

// The item a property is read from or written to: its folder type, its
// entry, and the names that the context properties (QX_POSTOFFICE,
// QX_MAILBOX, QX_FOLDER, QX_FOLDER_PATH) answer with.
struct StoreItemView {
  uint32_t folder_type = 0;
  pugi::xml_node entry;
  std::string_view postoffice;
  std::string_view mailbox;
  std::string_view folder;
  std::string_view folder_directory;
};

// Sets the text of the child `index_name` of an entry and marks the entry
// pending: a QX_STATUS child holding "1". With an index object (the
// store-item path) and no entry in *entry yet, the entry with ID `item_id`
// is taken, or created (an ELEMENT with only that ID, appended to the root)
// when there is none and `item_id` is not empty; the object's modified flag
// becomes 1. Without an object the entry in *entry is used. 1 written; 0
// when there is no entry to write to.
uint32_t SetEntryProperty(StoreIndex* index, pugi::xml_node* entry, std::string_view item_id,
                          const char* index_name, std::string_view text);

// StoreIndex_SetItemPropertyItem: writes `value` (in the property's caller
// type: text for most, a pointer to a 32-bit integer for PR_SENSITIVITY)
// into `entry` (the item's entry when `entry` is empty) as SetEntryProperty
// does without an index object. 1 written; 0 for a null value, an item with
// no entry, a folder type without a property table here, or a property the
// message table does not know.
uint32_t SetItemPropertyItem(const StoreItemView& item, pugi::xml_node entry,
                             std::string_view property_name, const void* value);

// StoreIndex_GetItemPropertyItem: the text of the item entry's child that
// the property maps to, converted to the caller's type and allocated (*value,
// freed by the caller with Memory_Free; *type the caller type). A property
// the table does not know is answered from the context properties, where an
// empty value counts as not found. 2 allocated; 0 not found (*value null).
uint32_t GetItemPropertyItem(const StoreItemView& item, std::string_view property_name,
                             void** value, uint32_t* type);

}  // namespace qx
