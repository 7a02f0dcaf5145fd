#pragma once
// Reading and writing one property of a contact item by name, through the
// contact property map (contact_property_map.h): index fields from the
// attributes of the contact's element, file-only properties (note, photo,
// whole card) from and to its vCard file.

#include <cstdint>
#include <string_view>

#include "store/item_kinds.h"

namespace qx {

// Contact_GetProperty: result 2 with a new value in the property's type (a
// text with its NUL; a 32-bit number; a FILETIME), or -1 when the item has
// no element, the name is unknown, or the value cannot be had (no such
// attribute, a file that cannot be read, a birthday that is no date text).
//  - "@ID" is the element's ID, "!CLASS" the item's folder type;
//  - other index fields are the attribute of that name (the texts of
//    fixed-size stored types cut to 1023 bytes);
//  - file-only properties are read from the file the element's ID names
//    (an ID of more than 259 bytes, or one leading out of the folder, names
//    none) with Contact_ReadFileProperty;
//  - the value of a stored text is field `component` of its ';'-separated
//    fields (empty when it has fewer), except for PR_BNP_VCARD: so a note
//    holding ';' reads up to it, as other programs read it.
// REQUIRES: the StoreIndex mutex of item.index is held (when set).
PropertyRead Contact_GetProperty(const ItemRef& item, std::string_view name);

// Contact_SetProperty, `value` in the property's type. 0 without a change
// when the item has no element, the name is unknown or read-only (the
// element's ID and class, PR_BNP_VCARD), or `value` is null.
//  - Index fields: the attribute's ';'-separated fields (at most 1000 of the
//    current value's first 1024 bytes, each cut to 1023) are kept and
//    field `component` becomes the new value, adding empty fields up to it
//    (PR_COUNTRY on an empty ADR_WORK gives ";;;;;;<country>"). Numbers are
//    written in decimal, a birthday as its date text (contact_birthday.h).
//    A ';' in the new value becomes '_', and a line break a blank. The
//    result (at most 4095 bytes) is set on the element, which is marked
//    pending (the vCard is written at the next save) and the index
//    modified. 1.
//  - PR_NOTE: the note line of the file is replaced by
//    "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:" and the value encoded
//    as quoted-printable; a value given as "=?UTF-8?Q?...?=" is taken as
//    encoded already (the text after "=?UTF-8?Q?" with leading line breaks
//    and blanks passed over, up to "?="). PR_NOTE_UNICODE: the value, which
//    is quoted-printable already, goes in as it is.
//    PR_ATTACHMENT_CONTACTPHOTO: the photo line is replaced by
//    "PHOTO;TYPE=JPEG;ENCODING=BASE64:" and the base64 value (its blanks and
//    line breaks dropped). Whatever parameters the old note or photo line
//    had, it is the one replaced. The result is Contact_RewriteFileLine's;
//    the element is not changed (the next scan re-reads the file).
// REQUIRES: the StoreIndex mutex of item.index is held (when set).
uint32_t Contact_SetProperty(const ItemRef& item, std::string_view name, const void* value);

}  // namespace qx
