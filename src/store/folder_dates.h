#pragma once
// When a folder's contents and its child list last changed, for clients
// that poll instead of holding a connection.

#include <cstdint>

#include "qxstore.h"

namespace qx {

// DOS date (high half) and time of the folder's _index.xml; 0 when it is
// missing or _CHANGE.DTY says the index is out of date.
uint32_t ContentsModificationDate(const STOREFOLDER& folder);

// DOS date and time of the folder's _folder.xml; 0 when it is missing.
uint32_t HierarchyModificationDate(const STOREFOLDER& folder);

}  // namespace qx
