#include "platform/file_version.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>

#include "platform/errors.h"
#include "platform/file_time.h"
#include "platform/path_resolver.h"

namespace qx::platform {

FileVersion VersionFromStatx(const struct statx& info) {
  return FileVersion{makedev(info.stx_dev_major, info.stx_dev_minor),
                     info.stx_ino,
                     info.stx_size,
                     info.stx_mtime.tv_sec,
                     info.stx_mtime.tv_nsec,
                     info.stx_ctime.tv_sec,
                     info.stx_ctime.tv_nsec};
}

bool FileVersion::operator==(const FileVersion& other) const {
  return device == other.device && inode == other.inode && size == other.size &&
         modified_seconds == other.modified_seconds &&
         modified_nanoseconds == other.modified_nanoseconds;
}

bool FileVersion::IsUntouchedSince(const FileVersion& earlier) const {
  return *this == earlier && changed_seconds == earlier.changed_seconds &&
         changed_nanoseconds == earlier.changed_nanoseconds;
}

uint64_t FileVersion::ModifiedFileTime() const {
  return FileTimeFromTimespec(
      timespec{static_cast<time_t>(modified_seconds), static_cast<long>(modified_nanoseconds)});
}

std::optional<FileVersion> FileVersionOf(std::string_view path) {
  const ResolvedPath resolved = ResolvePath(path);
  if (!resolved.exists) return std::nullopt;
  return VersionFromStatx(resolved.info);
}

std::optional<FileVersion> FileVersionOf(const File& file) {
  struct statx info {};
  if (!file.valid() || ::statx(file.fd(), "", AT_EMPTY_PATH, STATX_BASIC_STATS, &info) != 0) {
    SetLastErrorFromErrno(file.valid() ? errno : EBADF);
    return std::nullopt;
  }
  return VersionFromStatx(info);
}

}  // namespace qx::platform
