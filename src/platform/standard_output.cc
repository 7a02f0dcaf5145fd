#include "platform/standard_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/errors.h"

namespace qx::platform {

bool FlushStandardOutput() {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  // A write that failed before the flush left its errno behind it; with
  // none the reason is an input/output error.
  SetLastErrorFromErrno(errno != 0 ? errno : EIO);
  return false;
}

std::string StandardOutputTarget() {
  char path[4096];
  const ssize_t length = ::readlink("/proc/self/fd/1", path, sizeof path);
  if (length <= 0) return std::string();
  return std::string(path, static_cast<size_t>(length));
}

}  // namespace qx::platform
