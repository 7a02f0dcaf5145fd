#pragma once
// What the built-in item kinds read from and write to an item's file: the
// MIME parts of message files (messages, tasks), the text of plain files,
// the times of either, and the entry of one item loaded from its file. An
// item's file is its folder directory and its entry's ID; an ID that would
// lead out of the folder is never joined to it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/item_kinds.h"

namespace qx {

// The item's file path, or nothing when the entry's ID is not a plain file
// name.
std::optional<std::string> ItemFilePath(const ItemRef& item);

// The part of a message file a content property names (ReadContentValue):
// the body, the HTML body or the calendar part, as stored.
std::optional<std::string> ReadMessageFileContent(const ItemRef& item,
                                                  const PropertyMapEntry& property,
                                                  std::string_view property_name);
// Replaces the calendar part (field VCALENDAR) or the body of a message
// file (WriteContentValue).
bool WriteMessageFileContent(const ItemRef& item, const PropertyMapEntry& property,
                             std::string_view text);

// The first bytes of a plain file, as many as a content value holds.
std::optional<std::string> ReadPlainFileContent(const ItemRef& item,
                                                const PropertyMapEntry& property,
                                                std::string_view property_name);

// The time of the item's file a file-time property names by its field:
// LASTMODIFIEDDATE the last write, CREATEDDATE the creation, LASTACCESSEDDATE
// the last access; found by a directory search. Nothing when the file is
// not found.
std::optional<uint64_t> ReadItemFileTime(const ItemRef& item, const PropertyMapEntry& property);

// The entry of message `item_id`, built from the file's headers as a folder
// scan builds it and appended to the document the index object holds. Its
// UID is the one the file carries for the folder (0 when none): an item
// read alone has no folder counter to number it from, and its file is
// never rewritten here.
bool LoadMessageItem(StoreIndex* index, std::string_view folder_directory,
                     std::string_view item_id, pugi::xml_node* entry);
// An entry holding only its ID (items whose entries are not built from
// their files here), inserted as the index inserts an unread file.
bool LoadBareItem(StoreIndex* index, std::string_view folder_directory, std::string_view item_id,
                  pugi::xml_node* entry);

}  // namespace qx
