#pragma once
// The framing of the remote connection: every message goes out in a single
// send, with no terminator, length prefix or line end, and every reply is
// what a single receive returns; anything that arrives later is not read.
// Over TLS, whose records hold at most 16 KB, a reply is read on until it
// ends with "</DATA>" or fills the limit.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

// The size of the request and reply buffers of a forwarded call.
inline constexpr size_t kRemoteBufferSize = 32768;

// Sends text on the connection; false when no connection is open, text is
// empty or the send fails.
bool SendRemoteMessage(std::string_view text);

// One receive of at most limit bytes; nullopt when no connection is open,
// the receive fails (a 60-second silence included: last error 10060) or
// returns nothing (the host closed the connection: last error 10054).
std::optional<std::string> ReceiveRemoteReply(size_t limit);

// Sends the whole request and receives one reply of at most reply_size - 1
// bytes into reply (emptied first). True when both succeeded.
bool RemoteExchange(std::string_view request, std::string& reply, size_t reply_size);

}  // namespace qx
