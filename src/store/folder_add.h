#pragma once
// Adding a folder: its directory is made and its parent's child list marked
// stale; the list itself is rebuilt by the next enumeration.

#include <cstdint>

#include "qxstore.h"

namespace qx {

// Creates the directory of the record's folder (one level; the parent must
// exist). At the top level a special name is first canonicalised in the
// record, and "Public" ("\Public", "/Public", any case) is refused while
// public folders are enabled. The parent is marked stale unless its
// _folder.xml already lists the name. 1 when the directory was created; 0
// when it was refused, exists already or could not be made, and for an
// empty name.
uint32_t AddFolder(STOREFOLDER* folder);

}  // namespace qx
