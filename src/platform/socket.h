#pragma once
// TCP over IPv4 in the manner of the original socket library. A socket is a
// whole number that is never 0: callers keep 0 to mean "no socket". Every
// failure leaves the thread's last error set in the original numbering
// (10035 when a non-blocking read finds nothing, 10060 when a blocking read
// runs out its receive time-out, 11001 when a host name does not resolve).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qx::platform {

using SocketHandle = int;

inline constexpr uint32_t kErrorConnectionReset = 10054;
inline constexpr uint32_t kErrorTimedOut = 10060;
inline constexpr uint32_t kErrorConnectionRefused = 10061;
inline constexpr uint32_t kErrorHostNotFound = 11001;

// A new blocking IPv4 stream socket, or 0.
SocketHandle CreateTcpSocket();

// The first IPv4 address of a host name or dotted address, in network byte
// order; nullopt when it does not resolve.
std::optional<uint32_t> ResolveIPv4(std::string_view host_name);

// Blocking connect to an address from ResolveIPv4.
bool ConnectIPv4(SocketHandle socket, uint32_t address, uint16_t port);

// Connect that gives up after timeout_ms (last error 10060), for callers
// that must not hang on a host that does not answer.
bool ConnectIPv4Within(SocketHandle socket, uint32_t address, uint16_t port,
                       uint32_t timeout_ms);

// Receives that wait longer than this fail with 10060.
bool SetReceiveTimeout(SocketHandle socket, uint32_t milliseconds);

// Sends that wait longer than this fail with 10060.
bool SetSendTimeout(SocketHandle socket, uint32_t milliseconds);

// Sends each write at once instead of holding a small one back until the
// last is acknowledged. A message written in several pieces (TLS writes one
// record per 16 KB) would otherwise wait for the peer's delayed ACK.
bool SetNoDelay(SocketHandle socket);

// Switches the socket between blocking and non-blocking reads.
bool SetNonBlocking(SocketHandle socket, bool non_blocking);

// Sends all of data; the bytes sent, or -1. A peer that has gone away is an
// error, never a signal.
int64_t SendBytes(SocketHandle socket, const void* data, size_t size);

// One receive of at most size bytes: the bytes received, 0 when the peer
// closed the connection, -1 on error.
int64_t ReceiveBytes(SocketHandle socket, void* buffer, size_t size);

void CloseSocket(SocketHandle socket);

// Ends both directions of a connection without closing the socket: a thread
// blocked reading it wakes with 0. The socket's owner still closes it.
void ShutdownSocket(SocketHandle socket);

// Ends the sending direction only: the peer reads to the end of what was
// sent and then sees the close, while this side can still read.
void ShutdownSending(SocketHandle socket);

struct PeerName {
  std::string address;  // dotted IPv4 address; empty when unknown
  uint16_t port = 0;
};

// The address and port of the connection's other end.
PeerName GetPeerName(SocketHandle socket);

// A short text for a socket error code ("connection refused"), or
// "error <code>" for codes without one.
std::string SocketErrorText(uint32_t code);

// A listening socket on address:port (port 0 picks a free port, reported in
// *bound_port when given), or 0 with the last error set (10048 when the port
// is taken, 10049 when the address is not this machine's, 5 when a port
// below 1024 needs privileges, 11001 when address is not a dotted address).
SocketHandle ListenTcp(std::string_view address, uint16_t port, uint16_t* bound_port);

// The next connection on a listening socket; 0 when none arrived within
// timeout_ms or on error.
SocketHandle AcceptTcp(SocketHandle listener, uint32_t timeout_ms);

// True when a read would not block (data waiting, or the peer closed) within
// timeout_ms.
bool WaitReadable(SocketHandle socket, uint32_t timeout_ms);

// The position of the first of sockets on which a read would not block
// within timeout_ms, or -1 when none became readable (or on error).
int WaitAnyReadable(std::span<const SocketHandle> sockets, uint32_t timeout_ms);

}  // namespace qx::platform
