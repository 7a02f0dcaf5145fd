#include "platform/secret_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qx::platform {

namespace {

bool CheckPrivate(const struct stat& status, std::string* error) {
  if (!S_ISREG(status.st_mode)) {
    *error = "not a regular file";
    return false;
  }
  if ((status.st_mode & 077) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
    *error = std::string("mode ") + mode + " lets others " +
             ((status.st_mode & 044) != 0 ? "read" : "change") + " it; chmod 600 it";
    return false;
  }
  return true;
}

}  // namespace

bool IsPrivateFile(const std::string& path, std::string* error) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    *error = std::strerror(errno);
    return false;
  }
  return CheckPrivate(status, error);
}

std::optional<std::string> ReadPrivateFile(const std::string& path, size_t most_bytes,
                                           std::string* error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = std::strerror(errno);
    return std::nullopt;
  }
  // The file checked is the file read: no window to swap it in between.
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !CheckPrivate(status, error)) {
    if (error->empty()) *error = std::strerror(errno);
    ::close(fd);
    return std::nullopt;
  }
  std::string contents(most_bytes, '\0');
  size_t length = 0;
  while (length < most_bytes) {
    ssize_t got = ::read(fd, contents.data() + length, most_bytes - length);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = std::strerror(errno);
      ::close(fd);
      return std::nullopt;
    }
    if (got == 0) break;
    length += static_cast<size_t>(got);
  }
  ::close(fd);
  contents.resize(length);
  return contents;
}

}  // namespace qx::platform
