#include "options_file.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

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

bool WriteAll(int fd, const std::string& text) {
  size_t written = 0;
  while (written < text.size()) {
    ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<size_t>(n);
  }
  return true;
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
  std::vector<char> temporary(path.begin(), path.end());
  for (char c : std::string(".XXXXXX")) temporary.push_back(c);
  temporary.push_back('\0');
  int fd = ::mkstemp(temporary.data());
  if (fd < 0) return false;
  struct stat old_file;
  mode_t mode = ::stat(path.c_str(), &old_file) == 0 ? (old_file.st_mode & 07777) : 0644;
  bool written = ::fchmod(fd, mode) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
  written = (::close(fd) == 0) && written;
  if (!written || ::rename(temporary.data(), path.c_str()) != 0) {
    ::unlink(temporary.data());
    return false;
  }
  return true;
}

OptionsFileLock::OptionsFileLock(const std::string& path) {
  std::string lock_path = path + ".lock";
  fd_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
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
