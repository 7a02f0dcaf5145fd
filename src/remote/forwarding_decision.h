#pragma once
// Whether a forwarding function runs here or on a remote administration
// host. The server's own programs never forward; another program forwards
// once it has chosen a host with SetCurrentHost, or when its user has set
// "ForceDefaultHost".

#include <cstdint>
#include <string_view>

namespace qx {

enum RemoteDecision : uint32_t {
  kRunLocally = 0,
  kForward = 1,
  kForwardWithoutConnection = 2,  // forwarding required, no connection: fail without local work
};

// True in the server's own programs: the main module's file name begins
// with "QX" and the text from its first "." is ".EXE" (case-insensitive).
bool IsOwnProgram();

// The per-user "ForceDefaultHost" (0 in the server's own programs or when
// it cannot be read).
uint32_t ForceDefaultHostEnabled();

// Whether forwarding functions go to a remote host now (one is chosen, or
// "ForceDefaultHost" is set), decided as PrepareRemoteCall decides it but
// without connecting: for callers that do a job locally by other means.
bool ForwardingChosen();

// The forwarding decision and the connection set-up for module_key: a live
// connection to the same host and module is reused after a PING; another
// host or module opens a new connection with AUTH and LOAD.
RemoteDecision PrepareRemoteCall(std::string_view module_key);

}  // namespace qx
