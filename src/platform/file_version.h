#pragma once
// Which writing of a file is on disk. A file replaced by another (a new
// inode) or written again (a new modification time, to the nanosecond) has
// another version, so a reader can tell that a flag it saw was raised again
// since, even within one tick of the file system's clock.

#include <cstdint>
#include <optional>
#include <string_view>

namespace qx::platform {

struct FileVersion {
  uint64_t inode = 0;
  int64_t modified_seconds = 0;
  uint32_t modified_nanoseconds = 0;
  bool operator==(const FileVersion&) const = default;
};

// The version of the file a store path names now; nothing when it does not
// exist.
std::optional<FileVersion> FileVersionOf(std::string_view path);

}  // namespace qx::platform
