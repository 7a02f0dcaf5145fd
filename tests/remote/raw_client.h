#pragma once
// A client of the remote administration host that speaks the protocol by
// hand, for tests that must do what the library never does: pipeline
// requests, never read, send without end, or hold a connection idle.

#include <cstdint>
#include <string>
#include <string_view>

namespace qx::test {

class RawClient {
 public:
  // Connects to 127.0.0.1:port.
  explicit RawClient(uint16_t port);
  ~RawClient();
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool connected() const { return socket_ > 0; }
  // This end's port, as the host logs it.
  uint16_t local_port() const;

  // Sends all of text; false when the host no longer takes it (closed, or
  // nothing went out for timeout_ms).
  bool Send(std::string_view text, int timeout_ms = 5000);
  // The next reply (up to and including "</DATA>"); empty when the host
  // closed the connection or nothing came within timeout_ms.
  std::string Reply(int timeout_ms = 5000);
  // True when the host closes the connection within timeout_ms (anything
  // still sent before the close is read and dropped).
  bool ClosedByHost(int timeout_ms = 5000);

 private:
  int socket_ = -1;
  std::string pending_;
};

// AUTH as the library sends it, with these credentials.
std::string AuthMessage(const std::string& credentials);

}  // namespace qx::test
