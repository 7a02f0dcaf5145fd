#pragma once
// The vCard file of a contact item: its folder directory and its element's
// ID, the file's name. An ID that would lead out of the folder, or that is
// longer than the caller's limit (the fixed buffers other programs read
// IDs into), names no file: a shortened name would be another contact.

#include <cstddef>
#include <optional>
#include <string>

#include "store/item_kinds.h"

namespace qx {

// Nothing when the item has no element, no folder directory or no usable ID.
std::optional<std::string> ContactFilePath(const ItemRef& item, size_t id_limit);

}  // namespace qx
