#include "remote/raw_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace qx::test {

namespace {

int RemainingMs(std::chrono::steady_clock::time_point until) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

RawClient::RawClient(uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    socket_ = fd;
  } else if (fd >= 0) {
    ::close(fd);
  }
}

RawClient::~RawClient() {
  if (socket_ > 0) ::close(socket_);
}

uint16_t RawClient::local_port() const {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

bool RawClient::Send(std::string_view text, int timeout_ms) {
  while (!text.empty()) {
    pollfd entry{socket_, POLLOUT, 0};
    if (::poll(&entry, 1, timeout_ms) != 1 || (entry.revents & (POLLERR | POLLHUP)) != 0) return false;
    ssize_t sent = ::send(socket_, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0) return false;
    text.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

std::string RawClient::Reply(int timeout_ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    size_t end = pending_.find("</DATA>");
    if (end != std::string::npos) {
      std::string reply = pending_.substr(0, end + 7);
      pending_.erase(0, end + 7);
      return reply;
    }
    pollfd entry{socket_, POLLIN, 0};
    if (::poll(&entry, 1, RemainingMs(until)) != 1) return {};
    char buffer[65536];
    ssize_t received = ::recv(socket_, buffer, sizeof buffer, 0);
    if (received <= 0) return {};
    pending_.append(buffer, static_cast<size_t>(received));
  }
}

bool RawClient::ClosedByHost(int timeout_ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    pollfd entry{socket_, POLLIN, 0};
    if (::poll(&entry, 1, RemainingMs(until)) != 1) return false;
    char buffer[65536];
    if (::recv(socket_, buffer, sizeof buffer, 0) <= 0) return true;
  }
}

std::string AuthMessage(const std::string& credentials) {
  return "<DATA><METHOD>AUTH</METHOD><PROTOCOL>QXSTORE</PROTOCOL><CREDENTIALS>" + credentials +
         "</CREDENTIALS><REALM></REALM><Library>QXAIAU.DLL</Library></DATA>";
}

}  // namespace qx::test
