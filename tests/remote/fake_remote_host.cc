#include "remote/fake_remote_host.h"

#include <chrono>

#include "platform/socket.h"
#include "remote/forwarded_execution.h"
#include "remote/remote_connection.h"

namespace qx::test {

namespace {

constexpr std::chrono::seconds kLifetime{60};
constexpr uint32_t kPollMs = 20;
constexpr const char* kMessageEnd = "</DATA>";

}  // namespace

FakeRemoteHost::FakeRemoteHost(uint16_t port)
    : auth_reply_(kRemoteSuccessReply), load_reply_(kRemoteSuccessReply) {
  exec_handler_ = [](const std::string& request) {
    return ExecuteForwardedRequest(request, [](const ForwardedCall&, void*, void*) { return 1u; });
  };
  listener_ = platform::ListenTcp("127.0.0.1", port, &port_);
  if (listener_ != 0) thread_ = std::thread([this] { Serve(); });
}

FakeRemoteHost::~FakeRemoteHost() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  if (thread_.joinable()) thread_.join();
  platform::CloseSocket(listener_);
}

void FakeRemoteHost::SetAuthReply(std::string reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  auth_reply_ = std::move(reply);
}

void FakeRemoteHost::SetLoadReply(std::string reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  load_reply_ = std::move(reply);
}

void FakeRemoteHost::SetExecHandler(ExecHandler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  exec_handler_ = std::move(handler);
}

void FakeRemoteHost::DropConnectionAfterNextExec() {
  std::lock_guard<std::mutex> lock(mutex_);
  drop_after_exec_ = true;
}

std::vector<FakeRemoteHost::Message> FakeRemoteHost::Messages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_;
}

std::string FakeRemoteHost::Transcript() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string transcript;
  for (const Message& message : messages_) {
    if (!transcript.empty()) transcript += ' ';
    transcript += std::to_string(message.connection) + ":" + message.method;
  }
  return transcript;
}

bool FakeRemoteHost::WaitForPeerCloses(int count, int timeout_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                           [&] { return closed_by_peer_ >= count; });
}

void FakeRemoteHost::Serve() {
  auto deadline = std::chrono::steady_clock::now() + kLifetime;
  int client = 0;
  std::string pending;
  std::vector<char> buffer(65536);
  while (std::chrono::steady_clock::now() < deadline) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stop_) break;
    }
    if (client == 0) {
      client = platform::AcceptTcp(listener_, kPollMs);
      if (client != 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++accepted_;
        pending.clear();
      }
      continue;
    }
    if (!platform::WaitReadable(client, kPollMs)) continue;
    int64_t received = platform::ReceiveBytes(client, buffer.data(), buffer.size());
    if (received <= 0) {
      platform::CloseSocket(client);
      client = 0;
      std::lock_guard<std::mutex> lock(mutex_);
      ++closed_by_peer_;
      changed_.notify_all();
      continue;
    }
    pending.append(buffer.data(), static_cast<size_t>(received));
    size_t end;
    while (client != 0 && (end = pending.find(kMessageEnd)) != std::string::npos) {
      std::string message = pending.substr(0, end + std::string(kMessageEnd).size());
      pending.erase(0, message.size());
      if (!Answer(client, message)) {
        platform::CloseSocket(client);
        client = 0;
      }
    }
  }
  platform::CloseSocket(client);
}

bool FakeRemoteHost::Answer(int client, const std::string& message) {
  std::string method = MessageElement(message, "METHOD");
  std::string reply;
  ExecHandler handler;
  bool keep_open = true;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back({accepted_, method, message});
    if (method == "AUTH") reply = auth_reply_;
    if (method == "LOAD") reply = load_reply_;
    if (method == "PING") reply = kRemoteSuccessReply;
    if (method == "EXEC") {
      handler = exec_handler_;
      keep_open = !drop_after_exec_;
      drop_after_exec_ = false;
    }
  }
  if (handler) reply = handler(message);
  if (!reply.empty()) platform::SendBytes(client, reply.data(), reply.size());
  return keep_open;
}

}  // namespace qx::test
