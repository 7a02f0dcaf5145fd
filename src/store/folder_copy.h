#pragma once
// Copying a folder with everything below it.

#include <cstdint>

#include "qxstore.h"

namespace qx {

// Copies the source record's folder directory tree to the target record's
// place (both canonicalised at the top level first), merging into a target
// that exists and replacing files of the same name there, and marks the
// target's parent stale. 0 when the source is missing, the target lies
// inside the source (the copy would never end) or a file cannot be copied
// (what was copied stays); else 1.
uint32_t CopyFolder(STOREFOLDER* source, STOREFOLDER* target);

}  // namespace qx
