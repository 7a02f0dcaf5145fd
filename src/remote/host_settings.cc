#include "remote/host_settings.h"

#include <cstring>

#include "platform/registry.h"

namespace qx {

namespace {

constexpr size_t kReadBufferSize = 1024;
constexpr size_t kKeptLength = 255;

std::optional<std::string> ReadHostText(std::string_view host, const char* value_name,
                                        size_t kept_length) {
  auto value = platform::RegistryQuery(platform::RegistryRoot::kCurrentUser, HostEntryKey(host),
                                       value_name);
  if (!value || value->data.size() > kReadBufferSize) return std::nullopt;
  const char* bytes = reinterpret_cast<const char*>(value->data.data());
  size_t length = strnlen(bytes, value->data.size());
  return std::string(bytes, length < kept_length ? length : kept_length);
}

}  // namespace

std::string HostEntryKey(std::string_view host) {
  std::string key = kHostsKey;
  key += '\\';
  key += host;
  return key;
}

std::optional<std::string> ReadHostString(std::string_view host, const char* value_name) {
  return ReadHostText(host, value_name, kKeptLength);
}

uint16_t ReadHostPort(std::string_view host) {
  auto port = ReadUserDword(HostEntryKey(host), "Port");
  return port ? static_cast<uint16_t>(*port & 0xFFFF) : kDefaultRemotePort;
}

bool HostUsesTls(std::string_view host) {
  return ReadUserDword(HostEntryKey(host), "TLS").value_or(0) != 0;
}

std::string ReadHostCaFile(std::string_view host) {
  return ReadHostText(host, "TLS CA File", kReadBufferSize).value_or("");
}

std::optional<uint32_t> ReadUserDword(std::string_view key, const char* value_name) {
  auto value = platform::RegistryQuery(platform::RegistryRoot::kCurrentUser, key, value_name);
  // A 4-byte query fails on larger data; shorter data fills the low bytes.
  if (!value || value->data.empty() || value->data.size() > sizeof(uint32_t)) return std::nullopt;
  uint32_t number = 0;
  std::memcpy(&number, value->data.data(), value->data.size());
  return number;
}

}  // namespace qx
