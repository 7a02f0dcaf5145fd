#include "platform/directory_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/path_resolver.h"

namespace qx::platform {

DirectoryLock::DirectoryLock(std::string_view directory) {
  const ResolvedPath resolved = ResolvePath(directory);
  if (!resolved.exists) return;
  const std::string native = resolved.native.empty() ? "." : resolved.native;
  fd_ = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) return;
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    ::close(fd_);
    fd_ = -1;
    return;
  }
}

DirectoryLock::~DirectoryLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace qx::platform
