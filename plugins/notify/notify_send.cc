#include "notify_send.h"

#include "platform/socket.h"
#include "qxainfy.h"

namespace qxainfy {

namespace platform = qx::platform;

namespace {

// Closes the socket on every way out.
class SocketGuard {
 public:
  explicit SocketGuard(platform::SocketHandle socket) : socket_(socket) {}
  ~SocketGuard() { platform::CloseSocket(socket_); }
  SocketGuard(const SocketGuard&) = delete;
  SocketGuard& operator=(const SocketGuard&) = delete;

 private:
  platform::SocketHandle socket_;
};

}  // namespace

int SendNotification(const NotifyTarget& target, std::string_view message) {
  std::optional<uint32_t> address = platform::ResolveIPv4(target.address);
  if (!address) return QXAINFY_NO_ADDRESS;
  platform::SocketHandle socket = platform::CreateTcpSocket();
  if (socket == 0) return QXAINFY_UNREACHABLE;
  SocketGuard guard(socket);
  if (!platform::ConnectIPv4Within(socket, *address, target.port, target.connect_timeout_ms)) {
    return QXAINFY_UNREACHABLE;
  }
  // A service that accepts but never reads must not hold the store up.
  platform::SetSendTimeout(socket, target.connect_timeout_ms);
  int64_t sent = platform::SendBytes(socket, message.data(), message.size());
  return sent == static_cast<int64_t>(message.size()) ? QXAINFY_SENT : QXAINFY_SEND_FAILED;
}

}  // namespace qxainfy
