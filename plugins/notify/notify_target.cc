#include "notify_target.h"

#include <cstring>

#include "platform/registry.h"
#include "platform/text_compare.h"

namespace qxainfy {

namespace {

using qx::platform::RegistryRoot;

struct KnownPort {
  const char* protocol;
  uint16_t port;
};

constexpr KnownPort kWellKnownPorts[] = {
    {"IMAP", 143}, {"POP3", 110}, {"POP", 110},   {"SMTP", 25},
    {"HTTP", 80},  {"HTTPS", 443}, {"LDAP", 389}, {"NNTP", 119},
};

std::optional<uint32_t> ReadDword(const std::string& key, const std::string& name) {
  auto value = qx::platform::RegistryQuery(RegistryRoot::kLocalMachine, key, name);
  if (!value || value->type != qx::platform::kRegDword || value->data.size() != 4) {
    return std::nullopt;
  }
  uint32_t number;
  std::memcpy(&number, value->data.data(), sizeof number);
  return number;
}

std::optional<std::string> ReadString(const std::string& key, const std::string& name) {
  auto value = qx::platform::RegistryQuery(RegistryRoot::kLocalMachine, key, name);
  if (!value || (value->type != qx::platform::kRegSz && value->type != qx::platform::kRegExpandSz)) {
    return std::nullopt;
  }
  std::string text(value->data.begin(), value->data.end());
  text.resize(std::strlen(text.c_str()));  // the stored NUL
  if (text.empty()) return std::nullopt;
  return text;
}

std::optional<uint16_t> ConfiguredPort(const std::string& key, const std::string& name) {
  std::optional<uint32_t> port = ReadDword(key, name);
  if (!port || *port == 0 || *port > 65535) return std::nullopt;
  return static_cast<uint16_t>(*port);
}

}  // namespace

uint16_t WellKnownPort(std::string_view protocol) {
  for (const KnownPort& known : kWellKnownPorts) {
    if (qx::platform::EqualsNoCase(protocol, known.protocol)) return known.port;
  }
  return 0;
}

std::optional<NotifyTarget> FindNotifyTarget(std::string_view server, std::string_view protocol) {
  const std::string general_key = kNotifyKey;
  const std::string server_key = general_key + "\\Servers\\" + std::string(server);
  const std::string port_name = std::string(protocol) + " Port";

  NotifyTarget target;
  std::optional<uint16_t> port = ConfiguredPort(server_key, port_name);
  if (!port) port = ConfiguredPort(general_key, port_name);
  if (!port && WellKnownPort(protocol) != 0) port = WellKnownPort(protocol);
  if (!port) return std::nullopt;
  target.port = *port;
  target.address = ReadString(server_key, "Address").value_or(std::string(server));
  std::optional<uint32_t> timeout = ReadDword(general_key, "Connect Timeout");
  if (timeout && *timeout > 0) target.connect_timeout_ms = *timeout;
  return target;
}

}  // namespace qxainfy
