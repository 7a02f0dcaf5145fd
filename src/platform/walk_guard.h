#pragma once
// What a walk of a directory tree (the content search, the mailbox size
// walk) follows. Listings already leave out FIFOs, devices and sockets
// (listing.h). A symbolic link to a directory is never entered: it leads
// out of the tree, back into it (a loop, or a directory the walk reaches
// anyway), or nowhere. A symbolic link to a file is followed only when the
// file lies inside the tree, as the file system resolves it now.

#include <optional>
#include <string>
#include <string_view>

#include "platform/listing.h"

namespace qx::platform {

class WalkGuard {
 public:
  // The walk of the tree at `root` (a store path). When the root cannot be
  // resolved, no link is followed.
  explicit WalkGuard(std::string_view root);

  // Whether the walk may go into the directory `entry` names.
  bool MayEnter(const FindData& entry) const { return !entry.symbolic_link; }

  // Whether the walk may open, or count, the file that `entry`, listed at
  // store path `path`, names.
  bool MayRead(std::string_view path, const FindData& entry) const;

 private:
  std::optional<std::string> real_root_;
};

}  // namespace qx::platform
