#pragma once
// The remote forwarding connection, process-wide: its socket (0 when no
// connection is open; every close sets it back to 0) and, when the host
// entry asks for TLS, the TLS session over it.

#include <memory>

#include "platform/tls.h"

namespace qx {

int& RemoteSocket();

// The TLS session of the open connection; null for a plain one.
std::unique_ptr<platform::TlsStream>& RemoteTls();

// Closes the connection without sending QUIT (the library's unload does this).
void CloseRemoteSocket();

}  // namespace qx
