#pragma once
// Which writing of a file is on disk. A file replaced by another (a new
// inode), written again (a new size or modification time, to the
// nanosecond) or moved to another device has another version, so a reader
// can tell that a file it saw was written since, even within one tick of
// the file system's clock or one two-second step of a DOS stamp.

#include <sys/stat.h>

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
  // The last change of the file's entry (contents, times, name, mode), to
  // the nanosecond; nobody can set it back. Not compared by ==: a file
  // written through a handle and then renamed into place keeps its version.
  int64_t changed_seconds = 0;
  uint32_t changed_nanoseconds = 0;

  // The same file, written the same way (all but the change time).
  bool operator==(const FileVersion& other) const;
  // Equal, change time included: nothing at all was done to the file since
  // `earlier` was taken, not even a rewrite that restored its times.
  bool IsUntouchedSince(const FileVersion& earlier) const;

  // The modification time as FILETIME ticks (0 before 1601).
  uint64_t ModifiedFileTime() const;
};

// The version a statx of the file describes.
FileVersion VersionFromStatx(const struct statx& info);

// The version of the file a store path names now; nothing when it does not
// exist.
std::optional<FileVersion> FileVersionOf(std::string_view path);

// The version of the file an open handle reads or writes; nothing when the
// handle is invalid. A file renamed after this call keeps the version.
std::optional<FileVersion> FileVersionOf(const File& file);

}  // namespace qx::platform
