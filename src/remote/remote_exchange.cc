#include "remote/remote_exchange.h"

#include "platform/socket.h"
#include "remote/connection_socket.h"

namespace qx {

bool SendRemoteMessage(std::string_view text) {
  int socket = RemoteSocket();
  if (socket == 0 || text.empty()) return false;
  return platform::SendBytes(socket, text.data(), text.size()) > 0;
}

std::optional<std::string> ReceiveRemoteReply(size_t limit) {
  int socket = RemoteSocket();
  if (socket == 0 || limit == 0) return std::nullopt;
  std::string reply(limit, '\0');
  int64_t received = platform::ReceiveBytes(socket, reply.data(), limit);
  if (received <= 0) return std::nullopt;
  reply.resize(static_cast<size_t>(received));
  return reply;
}

bool RemoteExchange(std::string_view request, std::string& reply, size_t reply_size) {
  reply.clear();
  if (!SendRemoteMessage(request) || reply_size < 2) return false;
  auto received = ReceiveRemoteReply(reply_size - 1);
  if (!received) return false;
  reply = std::move(*received);
  return true;
}

}  // namespace qx
