#pragma once
// The host's settings, all from its command line (the usage text says what
// each is for). The defaults make a host that is safe to expose: it listens
// on the loopback address only and speaks TLS as soon as it is given a
// certificate.

#include <cstdint>
#include <cstdio>
#include <string>

namespace qx::radms {

struct HostOptions {
  std::string address = "127.0.0.1";
  uint16_t port = 8081;
  std::string credentials_file;  // required
  std::string user;              // empty: keep the user that started the host
  std::string tls_certificate;   // both or neither
  std::string tls_key;
  int max_clients = 16;
  uint32_t login_timeout_ms = 30000;   // connection to successful AUTH
  uint32_t idle_timeout_ms = 300000;   // between requests once authenticated
  uint32_t send_timeout_ms = 30000;    // a reply the client does not take
  uint32_t auth_delay_ms = 1000;       // the first failed AUTH's wait; doubles, capped
  int auth_failures_per_address = 10;  // within ten minutes; then AUTH is refused unchecked
  std::string syslog_socket = "/dev/log";

  bool tls() const { return !tls_certificate.empty(); }
};

enum class OptionsOutcome { kRun, kHelp, kVersion, kUsageError };

// Reads argv into options. kUsageError leaves a one-line reason in *error.
OptionsOutcome ParseHostOptions(int argc, char** argv, HostOptions& options, std::string* error);

void PrintUsage(std::FILE* out);
void PrintVersion(std::FILE* out);

}  // namespace qx::radms
