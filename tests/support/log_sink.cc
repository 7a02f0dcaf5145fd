#include "support/log_sink.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace qx::test {

LogSink::LogSink(std::string path) : path_(std::move(path)) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path_.size() >= sizeof address.sun_path) return;
  std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
  ::unlink(path_.c_str());
  int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  // Room for a flood of records while the test is busy elsewhere.
  int size = 4 << 20;
  ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return;
  }
  socket_ = fd;
}

LogSink::~LogSink() {
  if (socket_ >= 0) ::close(socket_);
  ::unlink(path_.c_str());
}

std::vector<std::string> LogSink::Records(int timeout_ms) {
  if (socket_ < 0) return records_;
  char buffer[4096];
  for (int wait = records_.empty() ? timeout_ms : 0;; wait = 0) {
    pollfd entry{socket_, POLLIN, 0};
    if (::poll(&entry, 1, wait) != 1) break;
    ssize_t received = ::recv(socket_, buffer, sizeof buffer, 0);
    if (received < 0) break;
    records_.emplace_back(buffer, static_cast<size_t>(received));
  }
  return records_;
}

std::vector<std::string> LogSink::RecordsWith(const std::string& text, int timeout_ms) {
  std::vector<std::string> found;
  for (const std::string& record : Records(timeout_ms)) {
    if (record.find(text) != std::string::npos) found.push_back(record);
  }
  return found;
}

}  // namespace qx::test
