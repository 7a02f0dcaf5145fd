#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for tests of web downloads: each path
// answers in one of the ways a real server (or a broken one) may, one
// thread per connection. Plain POSIX sockets: this is test code.

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qx::test {

enum class HttpAnswer {
  kWithLength,     // status, Content-Length, body
  kWithoutLength,  // status, body, then the connection closes
  kChunked,        // status, body in chunks of 100 bytes
  kRedirect,       // 302 to the route's body (a path or address)
  kCutShort,       // Content-Length of the whole body, half of it, then close
  kCutChunked,     // chunked, closes after the first chunk
  kSilent,         // reads the request and never answers
};

struct HttpRoute {
  HttpAnswer answer = HttpAnswer::kWithLength;
  int status = 200;
  std::string body;
};

class HttpTestServer {
 public:
  HttpTestServer();
  // Ends every connection, silent ones included.
  ~HttpTestServer();

  void Route(const std::string& path, HttpRoute route);
  uint16_t port() const { return port_; }
  // "http://127.0.0.1:<port><path>".
  std::string Url(const std::string& path) const;
  // Requests served so far, by path.
  int Requests(const std::string& path);

 private:
  void AcceptLoop();
  void Serve(int connection);

  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;  // guards routes_, requests_, connections_
  std::map<std::string, HttpRoute> routes_;
  std::map<std::string, int> requests_;
  std::vector<int> connections_;
  std::vector<std::thread> threads_;
  std::thread acceptor_;
};

}  // namespace qx::test
