#pragma once
// The outline of an index file (index_outline.h) kept in the derived cache
// (platform/derived_cache.h) under the file's identity, so that the next
// delivery into the folder reads neither the file nor a record of its
// entries from it. A delivery keeps the outline of the file it has just
// put in place while it still holds the folder's index block, so no writer
// that keeps the block can have changed the file in between. Any change
// after the identity was taken (a rewrite, a file renamed into place, an
// edit in place, times restored or not) gives the file another identity,
// its change time included, and the outline is not used: where the file
// system keeps fine-grained change times for files whose times were just
// looked at (Linux 6.13 and later), even a change within the same clock
// tick; elsewhere one made within that tick by a writer that ignores the
// block could go unseen.

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "index/index_outline.h"
#include "platform/file.h"
#include "platform/file_version.h"

namespace qx {

// The outline kept for the index file at `index_path` (a store path), which
// `file` has open: only when `file` is the file the path names, the record
// was made from this file as it is now, and the bytes at LASTUID and at the
// end of the file read as the outline says.
std::shared_ptr<const IndexOutline> CachedIndexOutline(std::string_view index_path,
                                                       const platform::File& file);

// Keeps `outline` for the index file at `index_path`, which this process
// wrote as `written` (the version its handle had before it was put in
// place) and has not let go of the index block since. Nothing is kept when
// the path names another file or the sizes disagree.
void KeepIndexOutline(std::string_view index_path, const platform::FileVersion& written,
                      IndexOutline outline);

// Whether the index file at `index_path` holds an entry for each of `ids`,
// answered from its kept outline; nothing when no outline is kept for the
// file as it is now.
std::optional<bool> KeptOutlineHolds(std::string_view index_path, std::span<const std::string> ids);

}  // namespace qx
