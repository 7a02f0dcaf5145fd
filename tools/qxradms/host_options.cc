#include "host_options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace qx::radms {

namespace {

#ifndef QXSTORE_VERSION
#define QXSTORE_VERSION "unknown"
#endif

std::optional<long> WholeNumber(const std::string& text, long lowest, long highest) {
  long value = 0;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end || value < lowest || value > highest) {
    return std::nullopt;
  }
  return value;
}

// Seconds, with a fraction when wanted ("0.5"), as milliseconds.
std::optional<uint32_t> Seconds(const std::string& text) {
  char* end = nullptr;
  double seconds = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(seconds) || seconds < 0.001 ||
      seconds > 86400.0 * 7) {
    return std::nullopt;
  }
  return static_cast<uint32_t>(std::lround(seconds * 1000));
}

template <class Field, class Number>
bool Take(std::optional<Number> parsed, Field& field) {
  if (!parsed) return false;
  field = static_cast<Field>(*parsed);
  return true;
}

bool TakeText(const std::string& value, std::string& field) {
  field = value;
  return !value.empty();
}

// Sets the option named argument from value; false when it is unknown or
// value does not fit.
bool SetOption(std::string_view argument, const std::string& value, HostOptions& options) {
  if (argument == "--address") return TakeText(value, options.address);
  if (argument == "--port") return Take(WholeNumber(value, 0, 65535), options.port);
  if (argument == "--credentials-file") return TakeText(value, options.credentials_file);
  if (argument == "--user") return TakeText(value, options.user);
  if (argument == "--tls-cert") return TakeText(value, options.tls_certificate);
  if (argument == "--tls-key") return TakeText(value, options.tls_key);
  if (argument == "--max-clients") return Take(WholeNumber(value, 1, 1024), options.max_clients);
  if (argument == "--login-timeout") return Take(Seconds(value), options.login_timeout_ms);
  if (argument == "--idle-timeout") return Take(Seconds(value), options.idle_timeout_ms);
  if (argument == "--send-timeout") return Take(Seconds(value), options.send_timeout_ms);
  if (argument == "--auth-delay-ms") return Take(WholeNumber(value, 0, 60000), options.auth_delay_ms);
  if (argument == "--auth-limit") {
    return Take(WholeNumber(value, 1, 1000000), options.auth_failures_per_address);
  }
  if (argument == "--syslog-socket") return TakeText(value, options.syslog_socket);
  return false;
}

}  // namespace

OptionsOutcome ParseHostOptions(int argc, char** argv, HostOptions& options, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--help" || argument == "-h") return OptionsOutcome::kHelp;
    if (argument == "--version") return OptionsOutcome::kVersion;
  }
  for (int i = 1; i < argc; i += 2) {
    const std::string argument = argv[i];
    if (i + 1 >= argc) {
      *error = argument + " needs a value";
      return OptionsOutcome::kUsageError;
    }
    if (!SetOption(argument, argv[i + 1], options)) {
      *error = "unknown option or bad value: " + argument + " " + argv[i + 1];
      return OptionsOutcome::kUsageError;
    }
  }
  if (options.credentials_file.empty()) {
    *error = "--credentials-file is required: without a secret no client could log in";
    return OptionsOutcome::kUsageError;
  }
  if (options.tls_certificate.empty() != options.tls_key.empty()) {
    *error = "--tls-cert and --tls-key go together";
    return OptionsOutcome::kUsageError;
  }
  return OptionsOutcome::kRun;
}

void PrintUsage(std::FILE* out) {
  std::fprintf(
      out,
      "usage: qxradms --credentials-file PATH [options]\n"
      "       qxradms --version | --help\n"
      "\n"
      "The remote administration host: runs the store calls that administration\n"
      "programs forward to it. AUTH must carry the secret held in PATH (its first\n"
      "line); PATH must be a regular file of mode 0600 or stricter.\n"
      "\n"
      "options:\n"
      "  --address A            listen on A (default 127.0.0.1; 0.0.0.0 for every address)\n"
      "  --port N               TCP port (default 8081; 0 picks a free one)\n"
      "  --user NAME            give root up for NAME once the port is bound\n"
      "  --tls-cert F --tls-key F\n"
      "                         speak TLS with this PEM certificate chain and key\n"
      "                         (the key file: mode 0600 or stricter)\n"
      "  --max-clients N        clients served at once (default 16); one more is told\n"
      "                         the host is busy and closed\n"
      "  --login-timeout S      seconds from connecting to a successful AUTH (default 30)\n"
      "  --idle-timeout S       seconds between requests once logged in (default 300)\n"
      "  --send-timeout S       seconds a client may leave a reply untaken (default 30)\n"
      "  --auth-delay-ms N      wait before answering a failed AUTH (default 1000); it\n"
      "                         doubles with each failure from the address, up to 32 times\n"
      "  --auth-limit N         failed AUTHs per address in ten minutes before its AUTHs\n"
      "                         are refused unchecked (default 10)\n"
      "  --syslog-socket PATH   the system log socket (default /dev/log)\n"
      "\n"
      "A connection is closed after 3 failed AUTHs, and when a request grows beyond\n"
      "256 KiB without its end. Connections, AUTHs and refused paths are logged to\n"
      "syslog (daemon and authpriv). The listening address goes to standard error.\n");
}

void PrintVersion(std::FILE* out) { std::fprintf(out, "qxradms %s\n", QXSTORE_VERSION); }

}  // namespace qx::radms
