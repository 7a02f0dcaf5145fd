#include "platform/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/errors.h"

namespace qx::platform {

namespace {

// Callers treat socket number 0 as "none", so a socket that lands on
// descriptor 0 (standard input closed) is moved up.
SocketHandle AvoidZero(int fd) {
  if (fd != 0) return fd;
  int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 1);
  int err = errno;
  ::close(fd);
  if (moved < 0) {
    SetLastErrorFromErrno(err);
    return 0;
  }
  return moved;
}

bool IsNonBlocking(SocketHandle socket) {
  int flags = ::fcntl(socket, F_GETFL);
  return flags >= 0 && (flags & O_NONBLOCK) != 0;
}

bool WaitFor(SocketHandle socket, short events, uint32_t timeout_ms) {
  pollfd entry{socket, events, 0};
  int ready;
  do {
    ready = ::poll(&entry, 1, static_cast<int>(timeout_ms));
  } while (ready < 0 && errno == EINTR);
  if (ready < 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  if (ready == 0) {
    SetLastError(kErrorTimedOut);
    return false;
  }
  return true;
}

}  // namespace

SocketHandle CreateTcpSocket() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    SetLastErrorFromErrno(errno);
    return 0;
  }
  return AvoidZero(fd);
}

std::optional<uint32_t> ResolveIPv4(std::string_view host_name) {
  std::string name(host_name);
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (name.empty() || ::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 ||
      found == nullptr) {
    SetLastError(kErrorHostNotFound);
    return std::nullopt;
  }
  uint32_t address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  ::freeaddrinfo(found);
  return address;
}

bool ConnectIPv4(SocketHandle socket, uint32_t address, uint16_t port) {
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  target.sin_addr.s_addr = address;
  if (::connect(socket, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0) return true;
  if (errno != EINTR) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  // An interrupted connect goes on in the background; wait for its outcome.
  if (!WaitFor(socket, POLLOUT, 60000)) return false;
  int err = 0;
  socklen_t length = sizeof err;
  if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &err, &length) != 0) err = errno;
  if (err != 0) {
    SetLastErrorFromErrno(err);
    return false;
  }
  return true;
}

bool ConnectIPv4Within(SocketHandle socket, uint32_t address, uint16_t port,
                       uint32_t timeout_ms) {
  bool was_non_blocking = IsNonBlocking(socket);
  if (!was_non_blocking && !SetNonBlocking(socket, true)) return false;
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  target.sin_addr.s_addr = address;
  int err = 0;
  if (::connect(socket, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
    err = errno;
    if (err == EINPROGRESS || err == EINTR) {
      if (!WaitFor(socket, POLLOUT, timeout_ms)) return false;
      socklen_t length = sizeof err;
      if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &err, &length) != 0) err = errno;
    }
  }
  if (err != 0) {
    SetLastErrorFromErrno(err);
    return false;
  }
  return was_non_blocking || SetNonBlocking(socket, false);
}

bool SetSendTimeout(SocketHandle socket, uint32_t milliseconds) {
  timeval limit{};
  limit.tv_sec = milliseconds / 1000;
  limit.tv_usec = static_cast<suseconds_t>(milliseconds % 1000) * 1000;
  if (::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

bool SetReceiveTimeout(SocketHandle socket, uint32_t milliseconds) {
  timeval limit{};
  limit.tv_sec = milliseconds / 1000;
  limit.tv_usec = static_cast<suseconds_t>(milliseconds % 1000) * 1000;
  if (::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

bool SetNoDelay(SocketHandle socket) {
  int on = 1;
  if (::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

bool SetNonBlocking(SocketHandle socket, bool non_blocking) {
  int flags = ::fcntl(socket, F_GETFL);
  if (flags < 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  flags = non_blocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  if (::fcntl(socket, F_SETFL, flags) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

int64_t SendBytes(SocketHandle socket, const void* data, size_t size) {
  const char* next = static_cast<const char*>(data);
  size_t left = size;
  while (left > 0) {
    ssize_t sent = ::send(socket, next, left, MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      if ((errno == EAGAIN || errno == EWOULDBLOCK) && !IsNonBlocking(socket)) {
        SetLastError(kErrorTimedOut);
      } else {
        SetLastErrorFromErrno(errno);
      }
      return -1;
    }
    next += sent;
    left -= static_cast<size_t>(sent);
  }
  return static_cast<int64_t>(size);
}

int64_t ReceiveBytes(SocketHandle socket, void* buffer, size_t size) {
  for (;;) {
    ssize_t received = ::recv(socket, buffer, size, 0);
    if (received >= 0) return received;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      SetLastError(IsNonBlocking(socket) ? kErrorWouldBlock : kErrorTimedOut);
    } else {
      SetLastErrorFromErrno(errno);
    }
    return -1;
  }
}

void CloseSocket(SocketHandle socket) {
  if (socket > 0) ::close(socket);
}

void ShutdownSocket(SocketHandle socket) {
  if (socket > 0) ::shutdown(socket, SHUT_RDWR);
}

void ShutdownSending(SocketHandle socket) {
  if (socket > 0) ::shutdown(socket, SHUT_WR);
}

PeerName GetPeerName(SocketHandle socket) {
  sockaddr_in peer{};
  socklen_t length = sizeof peer;
  PeerName name;
  if (::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) != 0 ||
      peer.sin_family != AF_INET) {
    SetLastErrorFromErrno(errno);
    return name;
  }
  char text[INET_ADDRSTRLEN] = {};
  if (::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text) != nullptr) name.address = text;
  name.port = ntohs(peer.sin_port);
  return name;
}

std::string SocketErrorText(uint32_t code) {
  switch (code) {
    case kErrorAccessDenied: return "permission denied";
    case kErrorWouldBlock: return "no data yet";
    case 10048: return "address already in use";
    case 10049: return "address not available on this machine";
    case 10050: return "network is down";
    case 10051: return "network unreachable";
    case kErrorConnectionReset: return "connection reset by peer";
    case 10058: return "connection already shut down";
    case kErrorTimedOut: return "timed out";
    case kErrorConnectionRefused: return "connection refused";
    case 10065: return "no route to host";
    case kErrorHostNotFound: return "host not found";
  }
  return "error " + std::to_string(code);
}

SocketHandle ListenTcp(std::string_view address, uint16_t port, uint16_t* bound_port) {
  std::string text(address);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  if (::inet_pton(AF_INET, text.c_str(), &local.sin_addr) != 1) {
    SetLastError(kErrorHostNotFound);
    return 0;
  }
  SocketHandle listener = CreateTcpSocket();
  if (listener == 0) return 0;
  int reuse = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  if (::bind(listener, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      ::listen(listener, SOMAXCONN) != 0) {
    SetLastErrorFromErrno(errno);
    ::close(listener);
    return 0;
  }
  if (bound_port != nullptr) {
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &length);
    *bound_port = ntohs(bound.sin_port);
  }
  return listener;
}

SocketHandle AcceptTcp(SocketHandle listener, uint32_t timeout_ms) {
  if (!WaitFor(listener, POLLIN, timeout_ms)) return 0;
  int fd;
  do {
    fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    SetLastErrorFromErrno(errno);
    return 0;
  }
  return AvoidZero(fd);
}

bool WaitReadable(SocketHandle socket, uint32_t timeout_ms) {
  return WaitFor(socket, POLLIN, timeout_ms);
}

int WaitAnyReadable(std::span<const SocketHandle> sockets, uint32_t timeout_ms) {
  std::vector<pollfd> entries;
  entries.reserve(sockets.size());
  for (SocketHandle socket : sockets) entries.push_back({socket, POLLIN, 0});
  int ready;
  do {
    ready = ::poll(entries.data(), entries.size(), static_cast<int>(timeout_ms));
  } while (ready < 0 && errno == EINTR);
  if (ready < 0) {
    SetLastErrorFromErrno(errno);
    return -1;
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].revents != 0) return static_cast<int>(i);
  }
  SetLastError(kErrorTimedOut);
  return -1;
}

}  // namespace qx::platform
