#include "remote/remote_connection.h"

#include <string>

#include "platform/diagnostics.h"
#include "platform/errors.h"
#include "platform/socket.h"
#include "platform/tls.h"
#include "remote/connection_socket.h"
#include "remote/forwarded_execution.h"
#include "remote/forwarding_failure.h"
#include "remote/host_settings.h"
#include "remote/remote_exchange.h"
#include "remote/remote_state.h"

namespace qx {

namespace {

constexpr size_t kMessageLimit = 2047;
constexpr size_t kStatusReplyLimit = 2047;
constexpr size_t kPingReplyLimit = 2048;
constexpr const char* kAuthenticationLibrary = "QXAIAU.DLL";

uint32_t FailConnect(uint32_t error, std::string_view what) {
  NoteConnectionFailure(error, what);
  Remote().connected_host.clear();
  CloseRemoteSocket();
  return 0;
}

// Puts TLS over the connected socket when the host entry asks for it.
bool StartTls(platform::SocketHandle socket, const std::string& address) {
  std::string why;
  auto context = platform::TlsContext::ForClient(ReadHostCaFile(Remote().current_host), &why);
  if (!context) {
    FailConnect(platform::kErrorTlsUntrustedRoot, why);
    return false;
  }
  platform::SetSendTimeout(socket, kRemoteReceiveTimeoutMs);
  platform::SetNoDelay(socket);
  RemoteTls() = platform::TlsStream::Connect(*context, socket, address, &why);
  if (!RemoteTls()) {
    FailConnect(platform::GetLastError(), why);
    return false;
  }
  return true;
}

// A refused AUTH, with the host's own reason when its reply carries one.
void NoteRefusedAuth(const std::string& reply) {
  const std::string reason = MessageElement(reply, "REASON");
  if (MessageElement(reply, "STATUS") == "BUSY") {
    NoteConnectionFailure(kErrorHostBusy, "busy: " + (reason.empty() ? "try again later" : reason));
  } else {
    NoteConnectionFailure(kErrorLogonFailure, reason.empty() ? "credentials refused" : reason);
  }
}

// Sends message and reads the status reply: the reply, or nullopt (with
// the failure noted) when the host did not answer.
std::optional<std::string> SendForStatus(const std::string& message, const char* method) {
  if (SendRemoteMessage(std::string_view(message).substr(0, kMessageLimit))) {
    if (auto reply = ReceiveRemoteReply(kStatusReplyLimit)) return reply;
  }
  const uint32_t error = platform::GetLastError();
  NoteConnectionFailure(error, std::string("no answer to ") + method + ": " +
                                   platform::SocketErrorText(error));
  return std::nullopt;
}

bool IsSuccess(const std::optional<std::string>& reply) {
  return reply && reply->find(kRemoteSuccessReply) != std::string::npos;
}

}  // namespace

uint32_t RemoteConnect() {
  RemoteState& state = Remote();
  ClearConnectionFailure();
  // Reports success without a socket; the forwarded call then gets no reply.
  if (state.current_host == "127.0.0.1") {
    state.connected_host.clear();
    return 1;
  }
  CloseRemoteSocket();
  platform::SocketHandle socket = platform::CreateTcpSocket();
  if (socket == 0) {
    const uint32_t error = platform::GetLastError();
    platform::DiagPrintf("Error connecting to remote admin: %d\n", static_cast<int>(error));
    NoteConnectionFailure(error, "cannot create a socket: " + platform::SocketErrorText(error));
    return 0;
  }
  RemoteSocket() = socket;
  // Nothing is loaded on a new connection until its LOAD succeeds.
  state.loaded_library.clear();
  auto address = ReadHostString(state.current_host, "Address");
  if (!address) return FailConnect(platform::kErrorHostNotFound, "the host entry has no Address");
  uint16_t port = ReadHostPort(state.current_host);
  auto resolved = platform::ResolveIPv4(*address);
  if (!resolved) return FailConnect(platform::kErrorHostNotFound, "host name not found");
  if (!platform::ConnectIPv4(socket, *resolved, port)) {
    const uint32_t error = platform::GetLastError();
    return FailConnect(error, platform::SocketErrorText(error));
  }
  platform::SetReceiveTimeout(socket, kRemoteReceiveTimeoutMs);
  if (HostUsesTls(state.current_host) && !StartTls(socket, *address)) return 0;
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
  std::optional<std::string> reply = SendForStatus(message, "AUTH");
  if (!IsSuccess(reply)) {
    if (reply) NoteRefusedAuth(*reply);
    return 0;
  }
  if (!module_key.empty()) {
    if (!RemoteLoadLibrary(module_key)) return 0;
    state.loaded_library = BoundedName(module_key);
  }
  state.connected_host = state.current_host;
  ClearConnectionFailure();
  return 1;
}

uint32_t RemoteLoadLibrary(std::string_view module_key) {
  std::string message = "<DATA><METHOD>LOAD</METHOD><LIBRARY>";
  message += module_key;
  message += "</LIBRARY></DATA>";
  std::optional<std::string> reply = SendForStatus(message, "LOAD");
  if (IsSuccess(reply)) return 1;
  if (reply) NoteConnectionFailure(kErrorModuleNotFound, "the host did not load " + std::string(module_key));
  return 0;
}

uint32_t RemotePing() {
  if (!SendRemoteMessage("<DATA><METHOD>PING</METHOD></DATA>")) return 0;
  return ReceiveRemoteReply(kPingReplyLimit) ? 1 : 0;
}

void RemoteQuit() { SendRemoteMessage("<DATA><METHOD>QUIT</METHOD></DATA>"); }

}  // namespace qx
