#pragma once
// Which writing of a file is on disk. A file replaced by another (a new
// inode), written again (a new size or modification time, to the
// nanosecond) or moved to another device has another version, so a reader
// can tell that a file it saw was written since, even within one tick of
// the file system's clock or one two-second step of a DOS stamp.

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/file.h"

namespace qx::platform {

struct FileVersion {
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t modified_seconds = 0;
  uint32_t modified_nanoseconds = 0;
  bool operator==(const FileVersion&) const = default;

  // The modification time as FILETIME ticks (0 before 1601).
  uint64_t ModifiedFileTime() const;
};

// The version of the file a store path names now; nothing when it does not
// exist.
std::optional<FileVersion> FileVersionOf(std::string_view path);

// The version of the file an open handle reads or writes; nothing when the
// handle is invalid. A file renamed after this call keeps the version.
std::optional<FileVersion> FileVersionOf(const File& file);

}  // namespace qx::platform
