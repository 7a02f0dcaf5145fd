#pragma once
// The commit of a calendar provider file, a resource under the mail root
// (common/block_files.h): the new calendar, written as "<name>.TMP", becomes
// "<name>.CAL", and the versions before it stay as "<name>.BAK" and
// "<name>.OLD".

#include <cstdint>

namespace qx {

// Commits the resource's .TMP file as its .CAL file: when no block file
// exists the previous .BAK is kept as .OLD; the .CAL becomes the .BAK; the
// .CAL is deleted and the .TMP moved to it (each retried once a second up to
// "Apply Timeout" retries, giving up at once on "not found"); then the .TMP
// and the block file are removed. 1, or 0 for a name too long to format.
uint32_t ApplyResourceFile(const char* name);

}  // namespace qx
