#include "remote/remote_connection.h"

#include <string>

#include "platform/diagnostics.h"
#include "platform/errors.h"
#include "platform/socket.h"
#include "remote/connection_socket.h"
#include "remote/host_settings.h"
#include "remote/remote_exchange.h"
#include "remote/remote_state.h"

namespace qx {

namespace {

constexpr size_t kMessageLimit = 2047;
constexpr size_t kStatusReplyLimit = 2047;
constexpr size_t kPingReplyLimit = 2048;
constexpr const char* kAuthenticationLibrary = "QXAIAU.DLL";

uint32_t FailConnect() {
  Remote().connected_host.clear();
  CloseRemoteSocket();
  return 0;
}

bool SendAndExpectSuccess(const std::string& message) {
  if (!SendRemoteMessage(std::string_view(message).substr(0, kMessageLimit))) return false;
  auto reply = ReceiveRemoteReply(kStatusReplyLimit);
  return reply && reply->find(kRemoteSuccessReply) != std::string::npos;
}

}  // namespace

uint32_t RemoteConnect() {
  RemoteState& state = Remote();
  // Reports success without a socket; the forwarded call then gets no reply.
  if (state.current_host == "127.0.0.1") {
    state.connected_host.clear();
    return 1;
  }
  CloseRemoteSocket();
  platform::SocketHandle socket = platform::CreateTcpSocket();
  if (socket == 0) {
    platform::DiagPrintf("Error connecting to remote admin: %d\n",
                         static_cast<int>(platform::GetLastError()));
    return 0;
  }
  RemoteSocket() = socket;
  // Nothing is loaded on a new connection until its LOAD succeeds.
  state.loaded_library.clear();
  auto address = ReadHostString(state.current_host, "Address");
  if (!address) return FailConnect();
  uint16_t port = ReadHostPort(state.current_host);
  auto resolved = platform::ResolveIPv4(*address);
  if (!resolved) return FailConnect();
  if (!platform::ConnectIPv4(socket, *resolved, port)) return FailConnect();
  platform::SetReceiveTimeout(socket, kRemoteReceiveTimeoutMs);
  return 1;
}

uint32_t RemoteAuthenticate(std::string_view module_key) {
  RemoteState& state = Remote();
  std::string credentials = ReadHostString(state.current_host, "Credentials").value_or("");
  std::string protocol = ReadHostString(state.current_host, "Authentication Protocol").value_or("");
  std::string message = "<DATA><METHOD>AUTH</METHOD><PROTOCOL>" + protocol +
                        "</PROTOCOL><CREDENTIALS>" + credentials +
                        "</CREDENTIALS><REALM></REALM><Library>" + kAuthenticationLibrary +
                        "</Library></DATA>";
  if (!SendAndExpectSuccess(message)) return 0;
  if (!module_key.empty()) {
    if (!RemoteLoadLibrary(module_key)) return 0;
    state.loaded_library = BoundedName(module_key);
  }
  state.connected_host = state.current_host;
  return 1;
}

uint32_t RemoteLoadLibrary(std::string_view module_key) {
  std::string message = "<DATA><METHOD>LOAD</METHOD><LIBRARY>";
  message += module_key;
  message += "</LIBRARY></DATA>";
  return SendAndExpectSuccess(message) ? 1 : 0;
}

uint32_t RemotePing() {
  if (!SendRemoteMessage("<DATA><METHOD>PING</METHOD></DATA>")) return 0;
  return ReceiveRemoteReply(kPingReplyLimit) ? 1 : 0;
}

void RemoteQuit() { SendRemoteMessage("<DATA><METHOD>QUIT</METHOD></DATA>"); }

}  // namespace qx
