#pragma once
// A stand-in for the system log socket (/dev/log): a datagram socket bound
// at a path in the test's directory that keeps every record sent to it.

#include <string>
#include <vector>

namespace qx::test {

class LogSink {
 public:
  explicit LogSink(std::string path);
  ~LogSink();
  LogSink(const LogSink&) = delete;
  LogSink& operator=(const LogSink&) = delete;

  const std::string& path() const { return path_; }
  bool bound() const { return socket_ >= 0; }

  // Every record received so far, oldest first (waits up to timeout_ms for
  // the first one when none has come yet).
  std::vector<std::string> Records(int timeout_ms = 0);
  // The records that contain text.
  std::vector<std::string> RecordsWith(const std::string& text, int timeout_ms = 0);

 private:
  std::string path_;
  int socket_ = -1;
  std::vector<std::string> records_;
};

}  // namespace qx::test
