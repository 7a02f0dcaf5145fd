#pragma once
// A contact's element of the contact index, read from its vCard file: one
// attribute per line of the file, named by the line's key (vcard_key.h) and
// holding the line's value, and MODIFIEDDATE, the file's last write as a
// DOS stamp written as a signed decimal number. The next scan re-reads a
// file whose stamp differs.
//
// Per line (as VCardLineReader reads it, 2047 bytes at most):
//  - a line without ':' is ignored; the key is the text before the first
//    ':'; keys of 1024 bytes or more, empty keys and keys that begin with
//    CR, LF, a blank or a TAB (folded continuation lines, which are not
//    joined here) are ignored;
//  - "END" ends the card (the rest of the file is not read); "BEGIN" is
//    ignored;
//  - the value is the text after the first ':', cut at the first CR and the
//    first LF, at most 1023 bytes, with bytes below 32 other than TAB made
//    blanks;
//  - a later line with the same key replaces the value of the earlier one;
//  - a key whose attribute name XML forbids (it begins with a digit, holds a
//    blank, is not UTF-8) is passed over and the rest of the file is read;
//  - a line keyed "ID" is passed over too: the element's ID is the file's
//    name, which saves, deletes and the next scan rely on, and which a card
//    copied in under another name must not change.
// A UTF-8 byte order mark in front of the first line is not part of it.

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/file.h"
#include "xml/xml_document.h"

namespace qx {

inline constexpr const char* kModifiedDateAttribute = "MODIFIEDDATE";

// Reads the card in `file` (open for reading, at its start) into `element`,
// then sets MODIFIEDDATE from the file's last write (taken from the open
// file before its lines, so a write during the read is seen by the next
// scan), or `listed_stamp` when the file's times cannot be read. False
// when an attribute cannot be set (no memory): the element then holds what
// was read so far and no MODIFIEDDATE.
bool ReadVCardIntoElement(platform::File* file, pugi::xml_node element,
                          std::optional<uint32_t> listed_stamp = std::nullopt);

// Contact_ReadFileAttributes: the same for the file at `path` (without a
// listed stamp). A file that cannot be opened leaves the element as it was
// and gives false.
bool Contact_ReadFileAttributes(pugi::xml_node element, std::string_view path);

// Makes `element` the element of file `file_name`: every attribute removed,
// then ID, then the card's lines and MODIFIEDDATE from `file` (when open).
// False when the element cannot hold its ID or an attribute.
bool RebuildContactElement(pugi::xml_node element, std::string_view file_name,
                           platform::File* file, std::optional<uint32_t> listed_stamp);

}  // namespace qx
