#include "client_listener.h"

#include <string>
#include <system_error>

#include "admin_session.h"
#include "platform/clock.h"
#include "qxstore.h"

namespace qx::radms {

namespace {

constexpr uint32_t kPollMs = 200;
// Accepted per wake-up before finished clients are reaped again.
constexpr int kMostAcceptsAtOnce = 64;
constexpr uint64_t kLeavingMs = 1000;
constexpr size_t kMostLeaving = 256;
constexpr uint32_t kBusySendTimeoutMs = 200;

}  // namespace

ClientListener::~ClientListener() { StopAll(); }

void ClientListener::Run(const volatile std::sig_atomic_t& stop) {
  while (!stop) {
    ReapFinished();
    CloseLeaving(false);
    if (platform::WaitReadable(listener_, kPollMs)) AcceptWaiting();
  }
  StopAll();
}

void ClientListener::AcceptWaiting() {
  for (int i = 0; i < kMostAcceptsAtOnce; ++i) {
    platform::SocketHandle socket = platform::AcceptTcp(listener_, 0);
    if (socket == 0) return;
    platform::PeerName peer = platform::GetPeerName(socket);
    const ClientName client{peer.address.empty() ? "unknown" : peer.address, peer.port};
    ReapFinished();
    if (static_cast<int>(workers_.size()) >= host_.options.max_clients) {
      TurnAway(socket, client,
               std::to_string(workers_.size()) + " clients connected, the most this host serves");
    } else {
      Start(socket, client);
    }
  }
}

void ClientListener::Start(platform::SocketHandle socket, const ClientName& client) {
  Worker& worker = workers_.emplace_back();
  worker.socket = socket;
  worker.client = client;
  LogConnectionOpened(client);
  try {
    worker.thread = std::thread([this, &worker] {
      const std::string why = ServeClient(worker.socket, worker.client, host_);
      LogConnectionClosed(worker.client, why);
      // The client sees the end now; the socket is closed when reaped.
      platform::ShutdownSocket(worker.socket);
      // Its folder lists and index record go with it.
      StoreLibrary_ThreadRelease();
      worker.done = true;
    });
  } catch (const std::system_error&) {
    workers_.pop_back();
    TurnAway(socket, client, "no thread to serve it");
  }
}

void ClientListener::TurnAway(platform::SocketHandle socket, const ClientName& client,
                              const std::string& why) {
  LogConnectionRefused(client, why);
  // The reason waits in the client's buffer for its first read (the reply to its AUTH).
  platform::SetSendTimeout(socket, kBusySendTimeoutMs);
  const std::string reply = RefusalReply("BUSY", why);
  platform::SendBytes(socket, reply.data(), reply.size());
  platform::ShutdownSending(socket);
  // Closing at once could reset the connection before the reason is read.
  if (leaving_.size() >= kMostLeaving) {
    platform::CloseSocket(leaving_.front().socket);
    leaving_.erase(leaving_.begin());
  }
  leaving_.push_back({socket, platform::TickMilliseconds() + kLeavingMs});
}

void ClientListener::ReapFinished() {
  for (auto worker = workers_.begin(); worker != workers_.end();) {
    if (!worker->done) {
      ++worker;
      continue;
    }
    worker->thread.join();
    platform::CloseSocket(worker->socket);
    worker = workers_.erase(worker);
  }
}

void ClientListener::CloseLeaving(bool all) {
  const uint64_t now = platform::TickMilliseconds();
  std::erase_if(leaving_, [&](const Leaving& leaving) {
    if (!all && leaving.close_at_ms > now) return false;
    platform::CloseSocket(leaving.socket);
    return true;
  });
}

void ClientListener::StopAll() {
  host_.stopping = true;
  // A thread waiting for its client wakes to a closed connection.
  for (Worker& worker : workers_) {
    if (!worker.done) platform::ShutdownSocket(worker.socket);
  }
  for (Worker& worker : workers_) {
    if (worker.thread.joinable()) worker.thread.join();
    platform::CloseSocket(worker.socket);
  }
  workers_.clear();
  CloseLeaving(true);
}

}  // namespace qx::radms
