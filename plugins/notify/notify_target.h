#pragma once
// Where a server's service for a protocol listens, as the registry says.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qxainfy {

inline constexpr const char* kNotifyKey = "SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera\\Notify";
inline constexpr uint32_t kDefaultConnectTimeoutMs = 2000;

struct NotifyTarget {
  std::string address;  // host name or dotted address
  uint16_t port = 0;
  uint32_t connect_timeout_ms = kDefaultConnectTimeoutMs;
};

// The well-known port of a protocol (without regard to case), or 0.
uint16_t WellKnownPort(std::string_view protocol);

// The target for a server and protocol; nullopt when no port is known for
// the protocol (configured ports of 0 or above 65535 count as none).
std::optional<NotifyTarget> FindNotifyTarget(std::string_view server, std::string_view protocol);

}  // namespace qxainfy
