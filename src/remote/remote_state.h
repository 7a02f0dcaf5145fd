#pragma once
// The forwarding state of the process: one connection per process, with the
// names that say where it leads. Process-wide and unguarded: a program that
// forwards from several threads serialises those calls itself.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "remote/forwarding_failure.h"

namespace qx {

// Names are held as the original's 1024-byte buffers held them: at most 1023 bytes.
inline constexpr size_t kRemoteNameLimit = 1023;

struct RemoteState {
  std::string current_host;    // host entry to use; set by SetCurrentHost or to "Default"
  std::string connected_host;  // host entry of the authenticated connection; empty when none
  std::string loaded_library;  // module key last loaded with LOAD on the connection
  // Why the connection cannot carry calls (it could not be opened, or AUTH
  // or LOAD was refused); empty once AUTH and LOAD succeeded.
  std::optional<ForwardingFailure> connection_failure;
  // Why the last forwarded call got no answer; empty when it got one.
  std::optional<ForwardingFailure> last_failure;
};

RemoteState& Remote();

// Copies name (at most 1023 bytes; null counts as empty) into the current
// host. An empty name returns the process to the default choice. Always 1.
uint32_t SetCurrentHost(const char* name);

// A copy cut to the 1023 bytes a name buffer holds.
std::string BoundedName(std::string_view name);

}  // namespace qx
