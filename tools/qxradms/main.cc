// qxradms: the remote administration host. Administration programs on other
// machines forward store calls to it; it runs them here, on the store.
//
//   main.cc            start-up checks, the listening socket, giving root up
//   host_options.cc    the command line
//   client_listener.cc accepting clients, one thread each, turning away extras
//   client_worker.cc   one client's conversation: time-outs, size bound, AUTH waits
//   client_stream.cc   a client's connection, plain or TLS
//   admin_session.cc   the protocol: AUTH, LOAD, PING, QUIT, EXEC
//   auth_throttle.cc   waits after failed AUTHs and per-address lock-outs
//   host_events.cc     the system log records
//   host_functions.cc  what each forwarded call runs

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "client_listener.h"
#include "client_worker.h"
#include "frame/refusal_report.h"
#include "frame/store_roots.h"
#include "host_events.h"
#include "host_options.h"
#include "platform/errors.h"
#include "platform/process_user.h"
#include "platform/secret_file.h"
#include "platform/socket.h"
#include "platform/system_log.h"
#include "platform/tls.h"
#include "qxstore.h"
#include "remote/forwarding_decision.h"

namespace qx::radms {
namespace {

constexpr size_t kMostSecretFileBytes = 4096;

volatile std::sig_atomic_t g_stop = 0;

void RequestStop(int) { g_stop = 1; }

// Says why the host does not start, on standard error and in the log.
int Refuse(const std::string& why) {
  LogHostWarning("not started: " + why);
  return 1;
}

// The secret is the first line of the credentials file.
std::optional<std::string> ReadSecret(const std::string& path, std::string* error) {
  std::optional<std::string> contents = platform::ReadPrivateFile(path, kMostSecretFileBytes, error);
  if (!contents) return std::nullopt;
  std::string secret = contents->substr(0, contents->find('\n'));
  if (!secret.empty() && secret.back() == '\r') secret.pop_back();
  if (secret.empty()) {
    *error = "its first line is empty: it must hold the secret AUTH carries";
    return std::nullopt;
  }
  return secret;
}

std::unique_ptr<platform::TlsContext> LoadTls(const HostOptions& options, std::string* error) {
  if (!platform::IsPrivateFile(options.tls_key, error)) {
    *error = "TLS key " + options.tls_key + ": " + *error;
    return nullptr;
  }
  return platform::TlsContext::ForServer(options.tls_certificate, options.tls_key, error);
}

int Serve(const HostOptions& options, const std::string& secret,
          const platform::TlsContext* tls) {
  uint16_t port = 0;
  platform::SocketHandle listener = platform::ListenTcp(options.address, options.port, &port);
  if (listener == 0) {
    const uint32_t error = platform::GetLastError();
    return Refuse("cannot listen on " + options.address + ":" + std::to_string(options.port) +
                  ": " + platform::SocketErrorText(error) + " (" + std::to_string(error) + ")");
  }
  std::string why;
  if (!options.user.empty() && !platform::SwitchToUser(options.user, &why)) {
    platform::CloseSocket(listener);
    return Refuse("--user: " + why);
  }
  if (options.user.empty() && platform::RunningAsRoot()) {
    LogHostWarning("running as root; --user NAME gives root up once the port is bound");
  }
  if (tls == nullptr && options.address.rfind("127.", 0) != 0) {
    LogHostWarning("listening beyond this machine without TLS: the secret crosses the network in plain "
         "text; --tls-cert and --tls-key encrypt it");
  }
  const std::string listening = "listening on " + options.address + ":" + std::to_string(port) +
                                (tls != nullptr ? " (TLS)" : "");
  // Standard output stays quiet: a service manager keeps all it is given.
  LogHostNotice(listening);
  HostShared host(options, secret, tls);
  ClientListener(listener, host).Run(g_stop);
  platform::CloseSocket(listener);
  LogHostNotice("stopped");
  return 0;
}

int Main(int argc, char** argv) {
  HostOptions options;
  std::string error;
  switch (ParseHostOptions(argc, argv, options, &error)) {
    case OptionsOutcome::kHelp:
      PrintUsage(stdout);
      return 0;
    case OptionsOutcome::kVersion:
      PrintVersion(stdout);
      return 0;
    case OptionsOutcome::kUsageError:
      std::fprintf(stderr, "qxradms: %s\n\n", error.c_str());
      PrintUsage(stderr);
      return 2;
    case OptionsOutcome::kRun:
      break;
  }
  platform::ConfigureSystemLog("qxradms", options.syslog_socket);
  // The calls are carried out by the exported functions, which would
  // forward them again from a program that is not one of the server's own.
  if (!IsOwnProgram()) {
    return Refuse("must run as one of the server's own programs (QXRADMS.EXE); check QXSTORE_PROGRAM");
  }
  std::optional<std::string> secret = ReadSecret(options.credentials_file, &error);
  if (!secret) return Refuse("credentials file " + options.credentials_file + ": " + error);
  std::unique_ptr<platform::TlsContext> tls;
  if (options.tls() && !(tls = LoadTls(options, &error))) return Refuse(error);

  std::signal(SIGTERM, RequestStop);
  std::signal(SIGINT, RequestStop);
  std::signal(SIGPIPE, SIG_IGN);
  // The library started as it was loaded and stops as it is unloaded.
  // Calls come from other machines: their full paths stay inside the store.
  ConfineFullPaths();
  ListenForRefusals(&LogRefusedPath);
  int result = Serve(options, *secret, tls.get());
  StoreLibrary_ThreadRelease();
  return result;
}

}  // namespace
}  // namespace qx::radms

int main(int argc, char** argv) { return qx::radms::Main(argc, argv); }
