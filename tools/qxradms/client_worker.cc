#include "client_worker.h"

#include <algorithm>
#include <vector>

#include "admin_session.h"
#include "client_stream.h"
#include "platform/clock.h"
#include "platform/errors.h"

namespace qx::radms {

namespace {

constexpr uint32_t kStopCheckMs = 100;

std::string InSeconds(uint32_t milliseconds) {
  std::string text = std::to_string(milliseconds / 1000);
  if (milliseconds % 1000 != 0) text += "." + std::to_string(milliseconds % 1000 / 100);
  return text + " s";
}

// Waits ms, or less when the host is stopping.
void WaitUnlessStopping(uint32_t ms, const std::atomic<bool>& stopping) {
  const uint64_t until = platform::TickMilliseconds() + ms;
  for (uint64_t now = platform::TickMilliseconds(); now < until && !stopping;
       now = platform::TickMilliseconds()) {
    platform::Sleep(static_cast<uint32_t>(std::min<uint64_t>(until - now, kStopCheckMs)));
  }
}

// An AUTH answered with the throttle's rules: refused unchecked while the
// address is locked out, and every failure answered only after its wait.
AdminSession::Answer AnswerAuth(AdminSession& session, const std::string& message,
                                const ClientName& client, HostShared& host) {
  const bool locked = host.throttle.Locked(client.address);
  AdminSession::Answer answer = locked ? session.RefuseAuthentication() : session.Handle(message);
  if (answer.auth == AdminSession::AuthOutcome::kAccepted) {
    host.throttle.RecordSuccess(client.address);
    LogAuthAccepted(client);
    return answer;
  }
  if (locked) {
    LogAuthRefused(client);
  } else {
    LogAuthFailed(client, session.auth_failures(), AdminSession::kMostAuthFailures);
  }
  WaitUnlessStopping(host.throttle.RecordFailure(client.address), host.stopping);
  return answer;
}

class Conversation {
 public:
  Conversation(platform::SocketHandle socket, const ClientName& client, HostShared& host)
      : client_(client),
        host_(host),
        stream_(socket, host.options.send_timeout_ms),
        session_(host.secret),
        started_ms_(platform::TickMilliseconds()),
        last_request_ms_(started_ms_) {}

  std::string Run() {
    if (host_.tls != nullptr) {
      std::string why;
      if (!stream_.StartTls(*host_.tls, host_.options.login_timeout_ms, &why)) {
        return "TLS handshake failed: " + why;
      }
    }
    std::vector<char> buffer(kReceiveChunkBytes);
    std::string pending;
    for (;;) {
      if (host_.stopping) return "the host is stopping";
      const uint64_t now = platform::TickMilliseconds();
      const uint64_t deadline = Deadline();
      if (now >= deadline) return TimedOut();
      const int64_t received = stream_.Receive(buffer.data(), buffer.size(),
                                               static_cast<uint32_t>(deadline - now));
      if (received == 0) return "closed by the client";
      if (received < 0) {
        if (platform::GetLastError() == platform::kErrorTimedOut) continue;
        return "receive failed: " + platform::SocketErrorText(platform::GetLastError());
      }
      pending.append(buffer.data(), static_cast<size_t>(received));
      for (const std::string& message : TakeMessages(pending)) {
        if (std::string why = Answer(message); !why.empty()) return why;
      }
      if (pending.size() > kMostRequestBytes) {
        stream_.Send(RefusalReply("FAILURE", "request too large"));
        return "request grew beyond " + std::to_string(kMostRequestBytes) + " bytes without its end";
      }
    }
  }

 private:
  uint64_t Deadline() const {
    return authenticated_ ? last_request_ms_ + host_.options.idle_timeout_ms
                          : started_ms_ + host_.options.login_timeout_ms;
  }

  std::string TimedOut() const {
    return authenticated_ ? "idle for " + InSeconds(host_.options.idle_timeout_ms)
                          : "no successful AUTH within " + InSeconds(host_.options.login_timeout_ms);
  }

  // Answers one message; returns why the conversation ends, or nothing.
  std::string Answer(const std::string& message) {
    last_request_ms_ = platform::TickMilliseconds();
    AdminSession::Answer answer = IsAuthRequest(message) ? AnswerAuth(session_, message, client_, host_)
                                                         : session_.Handle(message);
    if (answer.auth == AdminSession::AuthOutcome::kAccepted) authenticated_ = true;
    if (answer.auth == AdminSession::AuthOutcome::kFailed) authenticated_ = false;
    if (!stream_.Send(answer.reply)) {
      return "the client did not take its reply: " +
             platform::SocketErrorText(platform::GetLastError());
    }
    if (!answer.close) return {};
    if (answer.auth == AdminSession::AuthOutcome::kFailed) {
      return std::to_string(AdminSession::kMostAuthFailures) + " failed AUTHs";
    }
    return "QUIT";
  }

  const ClientName& client_;
  HostShared& host_;
  ClientStream stream_;
  AdminSession session_;
  const uint64_t started_ms_;
  uint64_t last_request_ms_;
  bool authenticated_ = false;
};

}  // namespace

std::string ServeClient(platform::SocketHandle socket, const ClientName& client, HostShared& host) {
  ServingClient serving(client);
  return Conversation(socket, client, host).Run();
}

}  // namespace qx::radms
