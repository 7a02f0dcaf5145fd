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
  RemoteTls().reset();
  int& socket = RemoteSocket();
  if (socket != 0) {
    platform::CloseSocket(socket);
    socket = 0;
  }
}

}  // namespace qx
