#pragma once
// A remote administration host for tests: a server thread on 127.0.0.1 that
// answers AUTH, LOAD, PING, QUIT and EXEC the way the real host does and
// records every message it received, so tests can assert the exact bytes.
// It serves one connection at a time (the library closes its old connection
// before it opens another) and stops itself after a bounded life.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qx::test {

class FakeRemoteHost {
 public:
  struct Message {
    int connection = 0;  // 1 for the first connection accepted, and so on
    std::string method;  // the METHOD element
    std::string text;    // the whole message as received
  };
  // Returns the reply to an EXEC request; an empty text sends no reply.
  using ExecHandler = std::function<std::string(const std::string& request)>;

  // Listens on port (0: a free port). listening() tells whether that worked.
  explicit FakeRemoteHost(uint16_t port = 0);
  ~FakeRemoteHost();
  FakeRemoteHost(const FakeRemoteHost&) = delete;
  FakeRemoteHost& operator=(const FakeRemoteHost&) = delete;

  bool listening() const { return listener_ != 0; }
  uint16_t port() const { return port_; }

  void SetAuthReply(std::string reply);
  void SetLoadReply(std::string reply);
  // The default handler runs every function with result 1, records unchanged.
  void SetExecHandler(ExecHandler handler);
  // The host closes the connection right after its next EXEC reply.
  void DropConnectionAfterNextExec();

  std::vector<Message> Messages() const;
  // "1:AUTH 1:LOAD 1:EXEC 2:AUTH ...": connection and method of each message.
  std::string Transcript() const;

  // A bounded wait for closes, which have no reply to wait on.
  bool WaitForPeerCloses(int count, int timeout_ms = 5000);

 private:
  void Serve();
  // Answers one complete message; false when the connection is to be dropped.
  bool Answer(int client, const std::string& message);

  int listener_ = 0;
  uint16_t port_ = 0;
  std::thread thread_;

  mutable std::mutex mutex_;  // guards everything below
  std::condition_variable changed_;
  bool stop_ = false;
  std::string auth_reply_;
  std::string load_reply_;
  ExecHandler exec_handler_;
  bool drop_after_exec_ = false;
  std::vector<Message> messages_;
  int accepted_ = 0;
  int closed_by_peer_ = 0;
};

}  // namespace qx::test
