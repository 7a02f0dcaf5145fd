#include "options_file.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/durable_replace.h"
#include "platform/store_modes.h"

namespace qxaiso {

namespace {

std::string DirectoryOfThisLibrary() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&OptionsFilePath), &info) == 0 || info.dli_fname == nullptr) {
    return ".";
  }
  std::string path = info.dli_fname;
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace

std::string OptionsFilePath() {
  const char* configured = std::getenv("QXSTORE_OPTIONS");
  if (configured != nullptr && *configured != '\0') return configured;
  return DirectoryOfThisLibrary() + "/options.ini";
}

bool ReadOptionsFile(const std::string& path, std::string* text) {
  text->clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  char buffer[8192];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return false;
    }
    text->append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

bool ReplaceOptionsFile(const std::string& path, const std::string& text) {
  return qx::platform::DurablyReplaceFile(path, "", text, qx::platform::FileKind::kOther);
}

OptionsFileLock::OptionsFileLock(const std::string& path) {
  std::string lock_path = path + ".lock";
  fd_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, qx::platform::StoreFileMode());
  if (fd_ < 0) return;
  int result;
  do {
    result = ::flock(fd_, LOCK_EX);
  } while (result != 0 && errno == EINTR);
  held_ = result == 0;
}

OptionsFileLock::~OptionsFileLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace qxaiso
