#pragma once
// Removing a folder: its shares are withdrawn, its directory tree deleted,
// its parent's child list marked stale and the mailbox's size cache
// dropped so that the next size query walks the mailbox again.

#include <cstdint>

#include "qxstore.h"

namespace qx {

// Removes the record's folder (the parent's directory itself when the name
// is empty). 0 without touching anything when the parent path is the public
// root ("\Public", "/Public", "Public"); 0 when the tree could not be
// deleted completely (what was deleted stays deleted, and the parent is
// still marked stale); else 1.
uint32_t RemoveFolder(STOREFOLDER* folder);

}  // namespace qx
