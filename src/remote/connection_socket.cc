#include "remote/connection_socket.h"

#include <unistd.h>

namespace qx {

int& RemoteSocket() {
  static int socket = 0;
  return socket;
}

void CloseRemoteSocket() {
  int& socket = RemoteSocket();
  if (socket != 0) {
    ::close(socket);
    socket = 0;
  }
}

}  // namespace qx
