#pragma once
// A short exclusive turn on a directory among all processes of this machine
// (an flock on the directory itself), for steps that must not interleave
// with the same steps of another process. Released on destruction, or when
// the process dies.

#include <string_view>

namespace qx::platform {

class DirectoryLock {
 public:
  // Waits for the turn. When the directory cannot be opened the lock is not
  // held (held() is false) and the caller goes on without it.
  explicit DirectoryLock(std::string_view directory);
  ~DirectoryLock();
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;

  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace qx::platform
