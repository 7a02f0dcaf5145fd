#pragma once
// Serving one client, on a thread of its own so that a slow or silent client
// holds up no one else. Every wait is bounded: the TLS handshake and the
// first successful AUTH must come within the login time-out, each later
// request within the idle time-out, and each reply must be taken within
// the send time-out. A request that grows beyond kMostRequestBytes without
// its end is refused and the connection closed, so a client holds at most
// kMostRequestBytes + kReceiveChunkBytes of input and one reply (under 64
// KiB) in memory.

#include <atomic>
#include <cstddef>
#include <string>

#include "auth_throttle.h"
#include "host_events.h"
#include "host_options.h"
#include "platform/socket.h"
#include "platform/tls.h"

namespace qx::radms {

inline constexpr size_t kMostRequestBytes = 256 * 1024;
inline constexpr size_t kReceiveChunkBytes = 64 * 1024;

// What every client's thread shares.
struct HostShared {
  HostShared(const HostOptions& host_options, std::string host_secret,
             const platform::TlsContext* host_tls)
      : options(host_options),
        secret(std::move(host_secret)),
        tls(host_tls),
        throttle(host_options.auth_delay_ms, host_options.auth_failures_per_address) {}

  const HostOptions& options;
  const std::string secret;
  const platform::TlsContext* const tls;  // null: plain TCP
  AuthThrottle throttle;
  std::atomic<bool> stopping{false};
};

// Serves client on socket until the conversation ends, and returns why it
// ended (for the log). The socket is left open: its owner closes it.
std::string ServeClient(platform::SocketHandle socket, const ClientName& client, HostShared& host);

}  // namespace qx::radms
