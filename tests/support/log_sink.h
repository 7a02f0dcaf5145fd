#pragma once
// A stand-in for the system log socket (/dev/log): a datagram socket bound
// at a path in the test's directory, read by a thread of its own (as a log
// daemon reads) so that senders never find it full.

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
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

  // Every record received so far, oldest first.
  std::vector<std::string> Records();
  // The records that contain text, once there are at least `count` of them
  // or timeout_ms has passed.
  std::vector<std::string> RecordsWith(const std::string& text, size_t count = 0,
                                       int timeout_ms = 5000);

 private:
  void Read();

  std::string path_;
  int socket_ = -1;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;  // guards records_
  std::vector<std::string> records_;
  std::thread reader_;
};

}  // namespace qx::test
