#include "support/http_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

namespace qx::test {

namespace {

void SendAll(int socket, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

std::string StatusLine(int status) {
  const char* reason = status == 200 ? "OK" : status == 302 ? "Found" : status == 404 ? "Not Found" : "Error";
  return "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
}

std::string Chunk(const std::string& bytes) {
  char size[16];
  std::snprintf(size, sizeof size, "%zx\r\n", bytes.size());
  return size + bytes + "\r\n";
}

}  // namespace

HttpTestServer::HttpTestServer() {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(listener_, 16);
  socklen_t length = sizeof address;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

HttpTestServer::~HttpTestServer() {
  stopping_ = true;
  acceptor_.join();
  close(listener_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int connection : connections_) shutdown(connection, SHUT_RDWR);
  }
  for (std::thread& thread : threads_) thread.join();
}

void HttpTestServer::Route(const std::string& path, HttpRoute route) {
  std::lock_guard<std::mutex> lock(mutex_);
  routes_[path] = std::move(route);
}

std::string HttpTestServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

int HttpTestServer::Requests(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_[path];
}

void HttpTestServer::AcceptLoop() {
  while (!stopping_) {
    pollfd ready{listener_, POLLIN, 0};
    if (poll(&ready, 1, 50) <= 0) continue;
    const int connection = accept(listener_, nullptr, nullptr);
    if (connection < 0) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    connections_.push_back(connection);
    threads_.emplace_back([this, connection] { Serve(connection); });
  }
}

void HttpTestServer::Serve(int connection) {
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    const ssize_t n = recv(connection, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<size_t>(n));
  }
  const size_t path_start = request.find(' ') + 1;
  const std::string path = request.substr(path_start, request.find(' ', path_start) - path_start);
  HttpRoute route{HttpAnswer::kWithLength, 404, "no route\n"};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++requests_[path];
    if (routes_.contains(path)) route = routes_[path];
  }
  const std::string& body = route.body;
  const std::string head = StatusLine(route.status) + "Content-Type: text/calendar\r\n";
  switch (route.answer) {
    case HttpAnswer::kWithLength:
      SendAll(connection, head + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
      break;
    case HttpAnswer::kWithoutLength: SendAll(connection, head + "Connection: close\r\n\r\n" + body); break;
    case HttpAnswer::kChunked: {
      std::string chunks;
      for (size_t at = 0; at < body.size(); at += 100) chunks += Chunk(body.substr(at, 100));
      SendAll(connection, head + "Transfer-Encoding: chunked\r\n\r\n" + chunks + "0\r\n\r\n");
      break;
    }
    case HttpAnswer::kRedirect:
      SendAll(connection, StatusLine(302) + "Location: " + body + "\r\nContent-Length: 0\r\n\r\n");
      break;
    case HttpAnswer::kCutShort:
      SendAll(connection, head + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                              body.substr(0, body.size() / 2));
      break;
    case HttpAnswer::kCutChunked:
      SendAll(connection, head + "Transfer-Encoding: chunked\r\n\r\n" + Chunk(body.substr(0, 100)));
      break;
    case HttpAnswer::kSilent:
      // Holds the connection until the server stops (the shutdown wakes it).
      while (recv(connection, buffer, sizeof buffer, 0) > 0) {
      }
      break;
  }
  shutdown(connection, SHUT_WR);
  // Lets the client read to the end before the socket goes.
  pollfd drained{connection, POLLIN, 0};
  poll(&drained, 1, 200);
  std::lock_guard<std::mutex> lock(mutex_);
  close(connection);
  std::erase(connections_, connection);
}

}  // namespace qx::test
