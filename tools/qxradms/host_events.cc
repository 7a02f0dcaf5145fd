#include "host_events.h"

#include <cstdio>

#include "platform/system_log.h"

namespace qx::radms {

namespace {

using platform::LogFacility;
using platform::LogSeverity;

// A refused path is the client's text: enough of it to recognise.
constexpr size_t kMostPathBytes = 300;

thread_local const ClientName* t_serving = nullptr;

std::string Named(const ClientName& client) {
  return client.address + " port " + std::to_string(client.port);
}

}  // namespace

ServingClient::ServingClient(const ClientName& client) { t_serving = &client; }

ServingClient::~ServingClient() { t_serving = nullptr; }

void LogConnectionOpened(const ClientName& client) {
  platform::WriteSystemLog(LogFacility::kDaemon, LogSeverity::kInfo,
                           "connection from " + Named(client) + " opened");
}

void LogConnectionClosed(const ClientName& client, std::string_view why) {
  platform::WriteSystemLog(LogFacility::kDaemon, LogSeverity::kInfo,
                           "connection from " + Named(client) + " closed: " + std::string(why));
}

void LogConnectionRefused(const ClientName& client, std::string_view why) {
  platform::WriteSystemLog(LogFacility::kDaemon, LogSeverity::kWarning,
                           "connection from " + Named(client) + " refused: " + std::string(why));
}

void LogAuthAccepted(const ClientName& client) {
  platform::WriteSystemLog(LogFacility::kAuthPriv, LogSeverity::kInfo,
                           "AUTH accepted from " + Named(client));
}

void LogAuthFailed(const ClientName& client, int failures, int most_failures) {
  platform::WriteSystemLog(LogFacility::kAuthPriv, LogSeverity::kWarning,
                           "AUTH failed from " + Named(client) + " (failure " +
                               std::to_string(failures) + " of " + std::to_string(most_failures) +
                               " on this connection)");
}

void LogAuthRefused(const ClientName& client) {
  platform::WriteSystemLog(LogFacility::kAuthPriv, LogSeverity::kWarning,
                           "AUTH refused from " + Named(client) +
                               ": too many failures from this address");
}

void LogRefusedPath(std::string_view path, uint32_t error) {
  const std::string client = t_serving != nullptr ? Named(*t_serving) : "unknown client";
  std::string shown(path.substr(0, kMostPathBytes));
  // A client's text must not forge log records or terminal controls.
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  if (path.size() > kMostPathBytes) shown += "...";
  platform::WriteSystemLog(LogFacility::kDaemon, LogSeverity::kWarning,
                           "path refused for " + client + ": " + shown + " (error " +
                               std::to_string(error) + ")");
}

namespace {

void LogAndShow(LogSeverity severity, std::string_view text) {
  if (platform::WriteSystemLog(LogFacility::kDaemon, severity, text)) {
    const std::string line = "qxradms: " + std::string(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
  }
}

}  // namespace

void LogHostNotice(std::string_view text) { LogAndShow(LogSeverity::kNotice, text); }

void LogHostWarning(std::string_view text) { LogAndShow(LogSeverity::kWarning, text); }

}  // namespace qx::radms
