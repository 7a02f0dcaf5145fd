#include "support/log_sink.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
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
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return;
  }
  socket_ = fd;
  reader_ = std::thread([this] { Read(); });
}

LogSink::~LogSink() {
  stop_ = true;
  if (reader_.joinable()) reader_.join();
  if (socket_ >= 0) ::close(socket_);
  ::unlink(path_.c_str());
}

void LogSink::Read() {
  char buffer[4096];
  while (!stop_) {
    pollfd entry{socket_, POLLIN, 0};
    if (::poll(&entry, 1, 20) != 1) continue;
    ssize_t received = ::recv(socket_, buffer, sizeof buffer, 0);
    if (received < 0) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    records_.emplace_back(buffer, static_cast<size_t>(received));
  }
}

std::vector<std::string> LogSink::Records() {
  std::lock_guard<std::mutex> lock(mutex_);
  return records_;
}

std::vector<std::string> LogSink::RecordsWith(const std::string& text, size_t count,
                                              int timeout_ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    std::vector<std::string> found;
    for (const std::string& record : Records()) {
      if (record.find(text) != std::string::npos) found.push_back(record);
    }
    if (found.size() >= count || std::chrono::steady_clock::now() >= until) return found;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace qx::test
