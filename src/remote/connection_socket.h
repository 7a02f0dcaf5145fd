#pragma once
// The socket of the remote forwarding connection, process-wide. 0 when no
// connection is open; every close sets it back to 0.

namespace qx {

int& RemoteSocket();

// Closes the connection without sending QUIT (the library's unload does this).
void CloseRemoteSocket();

}  // namespace qx
