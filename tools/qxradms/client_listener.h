#pragma once
// The listening socket and the clients it lets in: each client is served
// on a thread of its own (client_worker.h), at most --max-clients at once.
// One more is told the host is busy and closed; it never waits in line, so
// a flood of connections costs a few bytes each and nothing more.

#include <atomic>
#include <csignal>
#include <cstdint>
#include <list>
#include <thread>
#include <vector>

#include "client_worker.h"
#include "host_events.h"
#include "platform/socket.h"

namespace qx::radms {

class ClientListener {
 public:
  ClientListener(platform::SocketHandle listener, HostShared& host)
      : listener_(listener), host_(host) {}
  // Stops every client's thread (after its current call) and closes its socket.
  ~ClientListener();
  ClientListener(const ClientListener&) = delete;
  ClientListener& operator=(const ClientListener&) = delete;

  // Accepts and serves clients until stop is set.
  void Run(const volatile std::sig_atomic_t& stop);

 private:
  struct Worker {
    platform::SocketHandle socket = 0;
    ClientName client;
    std::atomic<bool> done{false};
    std::thread thread;
  };
  // A turned-away connection, closed once its client has had time to read why.
  struct Leaving {
    platform::SocketHandle socket;
    uint64_t close_at_ms;
  };

  void AcceptWaiting();
  void Start(platform::SocketHandle socket, const ClientName& client);
  void TurnAway(platform::SocketHandle socket, const ClientName& client, const std::string& why);
  // Joins the threads that finished and closes their sockets.
  void ReapFinished();
  void CloseLeaving(bool all);
  void StopAll();

  const platform::SocketHandle listener_;
  HostShared& host_;
  std::list<Worker> workers_;  // touched by the listener's thread only
  std::vector<Leaving> leaving_;
};

}  // namespace qx::radms
