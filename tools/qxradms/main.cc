// qxradms: the remote administration host. Administration programs on other
// machines forward store calls to it; it runs them here, on the store.
// main.cc listens and serves the clients, admin_session.cc answers one
// client's messages, host_functions.cc says what each forwarded call runs.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "admin_session.h"
#include "frame/store_roots.h"
#include "platform/socket.h"
#include "qxstore.h"
#include "remote/forwarding_decision.h"

namespace qx::radms {
namespace {

constexpr uint16_t kDefaultPort = 8081;
constexpr size_t kMaxClients = 16;
// A client that sends this much without ending a message is dropped.
constexpr size_t kMaxPending = 1 << 20;
constexpr uint32_t kPollMs = 500;

volatile std::sig_atomic_t g_stop = 0;

void RequestStop(int) { g_stop = 1; }

struct Options {
  std::string address = "0.0.0.0";
  uint16_t port = kDefaultPort;
  std::string credentials_file;
};

struct Client {
  platform::SocketHandle socket;
  AdminSession session;
  std::string pending;
};

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: qxradms --credentials-file PATH [--address A] [--port N]\n"
               "\n"
               "Accepts forwarded store calls on A:N (default 0.0.0.0:8081). AUTH must carry\n"
               "the secret held in PATH (its first line); without it every AUTH is refused.\n"
               "Port 0 picks a free port. The listening address is printed on start.\n");
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (i + 1 >= argc) return false;
    std::string value = argv[++i];
    if (argument == "--address") {
      options.address = value;
    } else if (argument == "--port") {
      char* end = nullptr;
      long port = std::strtol(value.c_str(), &end, 10);
      if (*end != '\0' || port < 0 || port > 65535) return false;
      options.port = static_cast<uint16_t>(port);
    } else if (argument == "--credentials-file") {
      options.credentials_file = value;
    } else {
      return false;
    }
  }
  return true;
}

std::string ReadSecret(const std::string& path) {
  if (path.empty()) return {};
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  return line;
}

// Reads what the client sent and answers every complete message; false when
// the connection is over.
bool Serve(Client& client) {
  std::vector<char> buffer(65536);
  int64_t received = platform::ReceiveBytes(client.socket, buffer.data(), buffer.size());
  if (received <= 0) return false;
  client.pending.append(buffer.data(), static_cast<size_t>(received));
  for (const std::string& message : TakeMessages(client.pending)) {
    AdminSession::Answer answer = client.session.Handle(message);
    if (!answer.reply.empty() &&
        platform::SendBytes(client.socket, answer.reply.data(), answer.reply.size()) < 0) {
      return false;
    }
    if (answer.close) return false;
  }
  return client.pending.size() <= kMaxPending;
}

int Run(const Options& options) {
  std::string secret = ReadSecret(options.credentials_file);
  if (secret.empty()) std::fprintf(stderr, "qxradms: no credentials: every AUTH is refused\n");
  uint16_t port = 0;
  platform::SocketHandle listener = platform::ListenTcp(options.address, options.port, &port);
  if (listener == 0) {
    std::fprintf(stderr, "qxradms: cannot listen on %s:%u\n", options.address.c_str(),
                 options.port);
    return 1;
  }
  std::printf("qxradms: listening on %s:%u\n", options.address.c_str(), port);
  std::fflush(stdout);

  std::vector<Client> clients;
  while (!g_stop) {
    std::vector<platform::SocketHandle> sockets{listener};
    for (const Client& client : clients) sockets.push_back(client.socket);
    int ready = platform::WaitAnyReadable(sockets, kPollMs);
    if (ready < 0) continue;
    if (ready == 0) {
      platform::SocketHandle accepted = platform::AcceptTcp(listener, 0);
      if (accepted == 0) continue;
      if (clients.size() >= kMaxClients) {
        platform::CloseSocket(accepted);
      } else {
        clients.push_back({accepted, AdminSession(secret), {}});
      }
      continue;
    }
    Client& client = clients[static_cast<size_t>(ready - 1)];
    if (!Serve(client)) {
      platform::CloseSocket(client.socket);
      clients.erase(clients.begin() + (ready - 1));
    }
  }
  for (Client& client : clients) platform::CloseSocket(client.socket);
  platform::CloseSocket(listener);
  return 0;
}

int Main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      PrintUsage(stdout);
      return 0;
    }
  }
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    PrintUsage(stderr);
    return 2;
  }
  // The calls are carried out by the exported functions, which would
  // forward them again from a program that is not one of the server's own.
  if (!IsOwnProgram()) {
    std::fprintf(stderr, "qxradms: must run as one of the server's own programs (QXRADMS.EXE); "
                         "check QXSTORE_PROGRAM\n");
    return 1;
  }
  std::signal(SIGTERM, RequestStop);
  std::signal(SIGINT, RequestStop);
  std::signal(SIGPIPE, SIG_IGN);
  // Linked statically: start the library as loading it would.
  if (StoreLibrary_Init() != 1) {
    std::fprintf(stderr, "qxradms: the store library could not be started\n");
    return 1;
  }
  // Calls come from other machines: their full paths stay inside the store.
  ConfineFullPaths();
  int result = Run(options);
  // Calls are served on the main thread, whose end runs no thread detach:
  // its folder lists and index record are released here.
  StoreLibrary_ThreadRelease();
  StoreLibrary_UnInit();
  return result;
}

}  // namespace
}  // namespace qx::radms

int main(int argc, char** argv) { return qx::radms::Main(argc, argv); }
