#pragma once
// One administration client's connection to the remote administration
// host: AUTH, then LOAD of a store module, then EXEC requests answered by
// running the named function here; PING is answered, QUIT ends it.

#include <string>
#include <string_view>
#include <vector>

namespace qx::radms {

inline constexpr const char* kSuccessReply = "<DATA><STATUS>SUCCESS</STATUS></DATA>";
inline constexpr const char* kFailureReply = "<DATA><STATUS>FAILURE</STATUS></DATA>";

class AdminSession {
 public:
  // secret: the credentials that AUTH must carry; an empty secret refuses all.
  explicit AdminSession(std::string secret) : secret_(std::move(secret)) {}

  struct Answer {
    std::string reply;   // sent back in one piece; empty: nothing is sent
    bool close = false;  // the connection ends after the reply
  };

  // The answer to one complete message ("<DATA>...</DATA>").
  Answer Handle(std::string_view message);

 private:
  Answer Authenticate(std::string_view message);
  Answer Load(std::string_view message);
  Answer Execute(std::string_view message);

  std::string secret_;
  bool authenticated_ = false;
  std::string loaded_module_;
};

// Splits the complete messages (each ends with "</DATA>") off the front of
// pending, leaving an incomplete tail in it.
std::vector<std::string> TakeMessages(std::string& pending);

}  // namespace qx::radms
