#pragma once
// A loopback TCP listener standing in for a server's notification service:
// it accepts up to a given number of connections, reads each until the
// sender closes it and keeps the bytes. Bounded in time; stops by itself.

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"

namespace qx::test {

class NotifyListener {
 public:
  explicit NotifyListener(int connections) {
    listener_ = platform::ListenTcp("127.0.0.1", 0, &port_);
    if (listener_ != 0) thread_ = std::thread([this, connections] { Serve(connections); });
  }
  ~NotifyListener() { Stop(); }

  uint16_t port() const { return port_; }
  bool listening() const { return listener_ != 0; }

  // Waits until the expected connections came (or the time ran out) and
  // closes the port; returns what each connection sent.
  std::vector<std::string> Stop() {
    if (thread_.joinable()) thread_.join();
    if (listener_ != 0) platform::CloseSocket(listener_);
    listener_ = 0;
    return received_;
  }

 private:
  static constexpr uint32_t kWaitMs = 5000;

  void Serve(int connections) {
    for (int i = 0; i < connections; ++i) {
      platform::SocketHandle client = platform::AcceptTcp(listener_, kWaitMs);
      if (client == 0) return;
      std::string bytes;
      char buffer[4096];
      while (platform::WaitReadable(client, kWaitMs)) {
        int64_t n = platform::ReceiveBytes(client, buffer, sizeof buffer);
        if (n <= 0) break;
        bytes.append(buffer, static_cast<size_t>(n));
      }
      platform::CloseSocket(client);
      received_.push_back(bytes);
    }
  }

  platform::SocketHandle listener_ = 0;
  uint16_t port_ = 0;
  std::thread thread_;
  std::vector<std::string> received_;
};

// A port on 127.0.0.1 where nothing listens any more.
inline uint16_t ClosedLoopbackPort() {
  uint16_t port = 0;
  platform::SocketHandle socket = platform::ListenTcp("127.0.0.1", 0, &port);
  platform::CloseSocket(socket);
  return port;
}

}  // namespace qx::test
