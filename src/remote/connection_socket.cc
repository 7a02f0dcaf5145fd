#include "remote/connection_socket.h"

#include "platform/socket.h"

namespace qx {

int& RemoteSocket() {
  static int socket = 0;
  return socket;
}

void CloseRemoteSocket() {
  int& socket = RemoteSocket();
  if (socket != 0) {
    platform::CloseSocket(socket);
    socket = 0;
  }
}

}  // namespace qx
