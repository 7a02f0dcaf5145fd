#pragma once
// The per-user forwarding settings under HKEY_CURRENT_USER
// "SOFTWARE\Wow6432Node\Tal Mera\Tal Mera\Administration", read on each use.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

inline constexpr const char* kAdministrationKey =
    "SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera\\Administration";
inline constexpr const char* kHostsKey =
    "SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera\\Administration\\Hosts";
inline constexpr uint16_t kDefaultRemotePort = 8081;

// "Hosts\<host>" below the Administration key.
std::string HostEntryKey(std::string_view host);

// A string of a host entry, read as into a 1024-byte buffer and kept to 255
// bytes; nullopt when the value is missing or does not fit the buffer.
std::optional<std::string> ReadHostString(std::string_view host, const char* value_name);

// The entry's "Port" (low 16 bits of the DWORD), 8081 when it cannot be read.
uint16_t ReadHostPort(std::string_view host);

// The entry's "TLS" DWORD is set and not 0: the connection runs over TLS,
// with the host's certificate checked against "TLS CA File" (a PEM file;
// the system's CAs when the value is missing or empty) and against the
// entry's "Address".
bool HostUsesTls(std::string_view host);

// The entry's "TLS CA File", whole (a path is not cut to 255 bytes); empty
// when missing.
std::string ReadHostCaFile(std::string_view host);

// A DWORD of the per-user settings read as 4 bytes; nullopt when the key or
// the value cannot be read.
std::optional<uint32_t> ReadUserDword(std::string_view key, const char* value_name);

}  // namespace qx
