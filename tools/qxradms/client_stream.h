#pragma once
// A client's connection as the host reads and writes it: plain TCP, or TLS
// over it once StartTls succeeded. Every wait is bounded.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/socket.h"
#include "platform/tls.h"

namespace qx::radms {

class ClientStream {
 public:
  // The socket stays the caller's to close, after the stream is gone.
  ClientStream(platform::SocketHandle socket, uint32_t send_timeout_ms);

  // The server's TLS handshake, bounded by timeout_ms per step; false with
  // *error when the client does not complete it.
  bool StartTls(const platform::TlsContext& context, uint32_t timeout_ms, std::string* error);

  // What arrives within timeout_ms (at least 1): the count, 0 when the
  // client closed, -1 on error (last error 10060 when nothing came in time).
  int64_t Receive(void* buffer, size_t size, uint32_t timeout_ms);

  // Sends all of bytes; false when the client did not take them within the
  // send time-out or has gone.
  bool Send(std::string_view bytes);

 private:
  platform::SocketHandle socket_;
  std::unique_ptr<platform::TlsStream> tls_;
};

}  // namespace qx::radms
