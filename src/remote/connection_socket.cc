#include "remote/connection_socket.h"

#include "platform/socket.h"

namespace qx {

int& RemoteSocket() {
  static int socket = 0;
  return socket;
}

std::unique_ptr<platform::TlsStream>& RemoteTls() {
  static std::unique_ptr<platform::TlsStream> session;
  return session;
}

void CloseRemoteSocket() {
  // Every call made here while no host is set closes the connection: with
  // none open, nothing is written, so threads calling the store at once do
  // not race on the process-wide state.
  std::unique_ptr<platform::TlsStream>& session = RemoteTls();
  if (session) session.reset();
  int& socket = RemoteSocket();
  if (socket != 0) {
    platform::CloseSocket(socket);
    socket = 0;
  }
}

}  // namespace qx
