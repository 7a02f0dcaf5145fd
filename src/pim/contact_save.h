#pragma once
// Writing a contact's vCard file from its element of the contact index, and
// deleting a contact.

#include <cstdint>
#include <string_view>

#include "store/item_kinds.h"

namespace qx {

// Contact_Save: writes the file the element's ID names in the item's
// folder directory (created when missing), through the durable replace with
// the temporary "_<name>":
//   BEGIN:VCARD, VERSION:2.1, then one "<key>:<value>" line per attribute in
//   element order (the attribute name turned back into its key,
//   vcard_key.h; keys beginning with "PHOTO;" or "NOTE;", and MODIFIEDDATE,
//   VERSION and REV left out; so the file carries an ID line too), the note
//   the file had (quoted-printable, at most 2047 bytes of it), the photo it
//   had (as it was folded, followed by an empty line), REV with the
//   element's revision (empty when it has none) and END:VCARD,
// every line ending in CR LF (a line break inside a value becomes a blank).
// The element is the contact as the store knows it: lines the index does
// not keep (folded parts, a key seen twice, keys XML cannot name) are not
// written. 0 with "The Index node we are attempting to save is not
// initialized or does not exist\n" printed when the item has no element;
// otherwise 1, also when the file could not be written ("Unable to save
// contact to %s\n"); *written, when given, says whether it was.
uint32_t Contact_Save(const ItemRef& item, bool* written = nullptr);

// Deletes the vCard file `name` of the item's folder directory; false when
// the name would lead out of the folder or the file cannot be deleted.
bool DeleteContactFile(const ItemRef& item, std::string_view name);

// Contact_Delete: deletes the vCard file `name` and removes the item's
// element from the index. 1, or 0 when there is neither an element nor a
// name.
uint32_t Contact_Delete(const ItemRef& item, std::string_view name);

}  // namespace qx
