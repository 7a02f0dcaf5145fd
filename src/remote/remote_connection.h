#pragma once
// The connection to a remote administration host and its short messages:
// AUTH, LOAD, PING and QUIT. Each works on the process's one connection
// (RemoteSocket) and the host entry named by the current host. Whatever
// keeps the connection from carrying calls (no address, refused, TLS
// certificate not accepted, AUTH or LOAD refused, no answer) is noted as the
// connection's failure (forwarding_failure.h); AUTH and LOAD succeeding
// clear it.

#include <cstdint>
#include <string_view>

namespace qx {

inline constexpr const char* kRemoteSuccessReply = "<DATA><STATUS>SUCCESS</STATUS></DATA>";
inline constexpr uint32_t kRemoteReceiveTimeoutMs = 60000;

// Opens a new connection to the current host's "Address" and "Port" (the old
// one is closed first) with a 60-second receive time-out, over TLS when the
// entry's "TLS" says so. 1 on success; 0 with the connected host cleared and
// no socket on failure. A current host of exactly "127.0.0.1" reports
// success without opening anything.
uint32_t RemoteConnect();

// Sends AUTH with the entry's "Authentication Protocol" and "Credentials";
// on success loads module_key (when not empty) with LOAD. 1 when the host
// accepted both; then the connected host is the current host.
uint32_t RemoteAuthenticate(std::string_view module_key);

// Sends LOAD for module_key; 1 when the host replied with success. Does not
// change the loaded library (RemoteAuthenticate does).
uint32_t RemoteLoadLibrary(std::string_view module_key);

// Sends PING; 1 when it went out and any reply came back.
uint32_t RemotePing();

// Sends QUIT; no reply is read.
void RemoteQuit();

}  // namespace qx
