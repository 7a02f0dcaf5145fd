#pragma once
// The blocks this process holds without a caller keeping their handles: a
// block taken with "close the handle at once", and every resource block.
// Their open files stay here, locked shared (platform/file.h), until the
// process releases the block, so that another process can tell a block held
// by a live process from one left by a dead one. While shared, others may
// open and delete the file as they could when the handle was closed.

#include <string>

#include "platform/file.h"

namespace qx {

// Keeps `block` (just created, held exclusively) as the hold of the block
// file `path`, turned shared. A hold kept for the same path before is let go.
void KeepBlockHold(const std::string& path, platform::File block);

// Lets go of the hold of `path`, if this process keeps one. Keeps the last
// error as it was.
void DropBlockHold(const std::string& path);

}  // namespace qx
