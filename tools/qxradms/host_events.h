#pragma once
// The host's log: one system-log record per event, each naming the client
// by address and port and carrying the host's pid. AUTH events go to the
// authpriv facility, the rest to daemon. The texts are fixed so that log
// watchers can match them (README gives the fail2ban expression):
//
//   connection from 192.0.2.7 port 40112 opened
//   connection from 192.0.2.7 port 40112 closed: <why>
//   connection from 192.0.2.7 port 40112 refused: <why>
//   AUTH accepted from 192.0.2.7 port 40112
//   AUTH failed from 192.0.2.7 port 40112 (failure 2 of 3 on this connection)
//   AUTH refused from 192.0.2.7 port 40112: too many failures from this address
//   path refused for 192.0.2.7 port 40112: <path> (error 5)
//
// Nothing a client sends is logged except a refused path (cut and with
// control characters blanked); never a credential, never a record.

#include <cstdint>
#include <string>
#include <string_view>

namespace qx::radms {

struct ClientName {
  std::string address;  // dotted IPv4 address
  uint16_t port = 0;
};

// Marks the calling thread as serving client for as long as it lives, so
// that events raised deep inside a store call (LogRefusedPath) name it.
class ServingClient {
 public:
  explicit ServingClient(const ClientName& client);
  ~ServingClient();
  ServingClient(const ServingClient&) = delete;
  ServingClient& operator=(const ServingClient&) = delete;
};

void LogConnectionOpened(const ClientName& client);
void LogConnectionClosed(const ClientName& client, std::string_view why);
// A connection closed at once, without being served.
void LogConnectionRefused(const ClientName& client, std::string_view why);

void LogAuthAccepted(const ClientName& client);
void LogAuthFailed(const ClientName& client, int failures, int most_failures);
void LogAuthRefused(const ClientName& client);

// A path in a forwarded call that the store refused to reach (outside its
// roots); error is the last-error code the call got (5 or 123). Names the
// client the calling thread serves, or "unknown client" on other threads.
void LogRefusedPath(std::string_view path, uint32_t error);

// The host's own start, stop and warnings, also shown on standard error
// (once: when no log daemon takes the record it is written there anyway).
void LogHostNotice(std::string_view text);
void LogHostWarning(std::string_view text);

}  // namespace qx::radms
