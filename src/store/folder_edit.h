#pragma once
// Renaming or moving a folder.

#include <cstdint>

#include "qxstore.h"

namespace qx {

// Moves the old record's folder directory (with everything below it) to the
// new record's place, creating missing parents of the target; both records
// are first canonicalised at the top level. Both parents are marked stale.
// 0 when either parent path is the public root, when the target exists
// (another folder is never overwritten), lies inside the source, or the
// source is missing; else 1. Changing only the case of a name is a move.
uint32_t EditFolder(STOREFOLDER* old_folder, STOREFOLDER* new_folder);

}  // namespace qx
