#pragma once
// One administration client's conversation with the remote administration
// host: AUTH, then LOAD of a store module, then EXEC requests answered by
// running the named function here; PING is answered, QUIT ends it. The
// session closes the connection after its third failed AUTH; how long a
// failure waits, and which addresses are refused outright, is the
// caller's (auth_throttle.h).

#include <string>
#include <string_view>
#include <vector>

namespace qx::radms {

inline constexpr const char* kSuccessReply = "<DATA><STATUS>SUCCESS</STATUS></DATA>";
inline constexpr const char* kFailureReply = "<DATA><STATUS>FAILURE</STATUS></DATA>";

// A refusal that says why; the client library shows the reason.
std::string RefusalReply(std::string_view status, std::string_view reason);

class AdminSession {
 public:
  static constexpr int kMostAuthFailures = 3;

  // secret: the credentials that AUTH must carry; an empty secret refuses all.
  explicit AdminSession(std::string secret) : secret_(std::move(secret)) {}

  enum class AuthOutcome { kNone, kAccepted, kFailed };

  struct Answer {
    std::string reply;   // sent back in one piece; empty: nothing is sent
    bool close = false;  // the connection ends after the reply
    AuthOutcome auth = AuthOutcome::kNone;
  };

  // The answer to one complete message ("<DATA>...</DATA>").
  Answer Handle(std::string_view message);

  // The answer to an AUTH that is not to be checked (its address is locked
  // out): a failure like any other.
  Answer RefuseAuthentication();

  int auth_failures() const { return auth_failures_; }

 private:
  Answer Authenticate(std::string_view message);
  Answer AuthenticationFailed();
  Answer Load(std::string_view message);
  Answer Execute(std::string_view message);

  std::string secret_;
  bool authenticated_ = false;
  int auth_failures_ = 0;
  std::string loaded_module_;
};

// True when message is an AUTH request.
bool IsAuthRequest(std::string_view message);

// Splits the complete messages (each ends with "</DATA>") off the front of
// pending, leaving an incomplete tail in it.
std::vector<std::string> TakeMessages(std::string& pending);

}  // namespace qx::radms
