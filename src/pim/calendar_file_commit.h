#pragma once
// The commit of a calendar provider file, a resource under the mail root
// (common/block_files.h): the new calendar, written as "<name>.TMP", becomes
// "<name>.CAL", and the versions before it stay as "<name>.BAK" and
// "<name>.OLD".

#include <cstdint>

namespace qx {

// What a commit leaves of the resource's calendar.
enum class ResourceCommit {
  kReplace,  // the .TMP becomes the .CAL
  kDelete,   // the calendar is gone (its last entry was removed)
};

// Commits the resource's .TMP file, written by the holder of the resource's
// block: when no block file exists the previous .BAK is kept as .OLD; the
// .CAL is copied to the .BAK; then the .TMP replaces the .CAL in one rename
// (or, for kDelete, the .CAL is deleted), retried once a second up to
// "Apply Timeout" retries and given up at once on "not found"; the .TMP
// left is removed, the directory synced (as the store syncs its indexes,
// platform/durable_replace.h), and the block file removed. The rename
// replaces the old file rather than following its deletion, so that a
// reader never finds the calendar missing. Until the block is removed no
// other writer of the resource runs, so a kDelete never loses a line that
// another writer has just added. 1, or 0 for a name too long to format.
uint32_t ApplyResourceFile(const char* name, ResourceCommit commit = ResourceCommit::kReplace);

}  // namespace qx
