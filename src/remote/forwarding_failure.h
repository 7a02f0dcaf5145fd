#pragma once
// Why a forwarded call got no answer from its host, told to the caller the
// way the original platform told it: the forwarded function returns its
// failure result and leaves a last error (10061 connection refused, 11001
// host not found, 1326 credentials refused, ...), and a program can show a
// one-line reason naming the host entry.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

inline constexpr uint32_t kErrorModuleNotFound = 126;  // the host did not LOAD the module
inline constexpr uint32_t kErrorHostBusy = 170;        // the host serves as many clients as it may
inline constexpr uint32_t kErrorLogonFailure = 1326;   // the host refused the credentials

struct ForwardingFailure {
  uint32_t error = 0;  // the last error the forwarded call leaves
  // e.g. `remote host "Default" at 127.0.0.1:8081: connection refused (10061)`
  std::string reason;
};

// The failure of this process's last forwarded call; nullopt when it got
// its host's answer, or ran locally.
const std::optional<ForwardingFailure>& LastForwardingFailure();

// A failure of the current host entry: the reason names the entry and its
// address, then says `what`, then gives the error code in parentheses.
ForwardingFailure CurrentHostFailure(uint32_t error, std::string_view what);

// Records why the open connection (or the attempt to open one) cannot carry
// calls; `what` is said after the host entry's name and address.
void NoteConnectionFailure(uint32_t error, std::string_view what);

// The connection can carry calls: AUTH and LOAD succeeded.
void ClearConnectionFailure();

}  // namespace qx
