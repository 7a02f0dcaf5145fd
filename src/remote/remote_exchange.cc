#include "remote/remote_exchange.h"

#include "platform/errors.h"
#include "platform/socket.h"
#include "remote/connection_socket.h"

namespace qx {

namespace {

constexpr std::string_view kMessageEnd = "</DATA>";

bool EndsWithMessageEnd(const std::string& text, size_t length) {
  return length >= kMessageEnd.size() &&
         std::string_view(text.data() + length - kMessageEnd.size(), kMessageEnd.size()) ==
             kMessageEnd;
}

// TLS cuts a reply into records of at most 16 KB, so one receive may hold
// only its start: read on until the reply's end (or the limit).
int64_t ReceiveTlsReply(platform::TlsStream& session, std::string& reply, size_t limit) {
  size_t length = 0;
  while (length < limit) {
    int64_t received = session.Receive(reply.data() + length, limit - length);
    if (received <= 0) return length > 0 ? static_cast<int64_t>(length) : received;
    length += static_cast<size_t>(received);
    if (EndsWithMessageEnd(reply, length)) break;
  }
  return static_cast<int64_t>(length);
}

}  // namespace

bool SendRemoteMessage(std::string_view text) {
  int socket = RemoteSocket();
  if (socket == 0 || text.empty()) return false;
  if (RemoteTls()) return RemoteTls()->Send(text.data(), text.size()) > 0;
  return platform::SendBytes(socket, text.data(), text.size()) > 0;
}

std::optional<std::string> ReceiveRemoteReply(size_t limit) {
  int socket = RemoteSocket();
  if (socket == 0 || limit == 0) return std::nullopt;
  std::string reply(limit, '\0');
  int64_t received = RemoteTls() ? ReceiveTlsReply(*RemoteTls(), reply, limit)
                                 : platform::ReceiveBytes(socket, reply.data(), limit);
  if (received == 0) platform::SetLastError(platform::kErrorConnectionReset);
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
