#include "platform/system_log.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/clock.h"

namespace qx::platform {

namespace {

// Longer texts are cut: a datagram log socket takes a few kilobytes at most.
constexpr size_t kMostTextBytes = 1900;

struct SystemLog {
  std::mutex mutex;  // guards everything below
  std::string ident = "qxstore";
  std::string socket_path = kDefaultSystemLogSocket;
  int socket = -1;  // connected to socket_path; -1 until the first record
};

SystemLog& TheSystemLog() {
  static SystemLog* log = new SystemLog;  // never destroyed: records may come from exit paths
  return *log;
}

std::string CleanText(std::string_view text) {
  std::string clean(text.substr(0, kMostTextBytes));
  for (char& c : clean) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return clean;
}

// "Mmm dd hh:mm:ss" in local time; month names fixed, whatever the locale.
std::string TimeStamp(long long unix_seconds) {
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  time_t seconds = static_cast<time_t>(unix_seconds);
  tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  std::snprintf(text, sizeof text, "%s %2d %02d:%02d:%02d", kMonths[local.tm_mon % 12],
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

// REQUIRES: log.mutex held.
bool ConnectLogSocket(SystemLog& log) {
  if (log.socket >= 0) return true;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (log.socket_path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, log.socket_path.c_str(), log.socket_path.size() + 1);
  int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return false;
  }
  log.socket = fd;
  return true;
}

// REQUIRES: log.mutex held.
bool SendRecord(SystemLog& log, const std::string& record) {
  // A log daemon that restarted leaves the old connection dead: try once more.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!ConnectLogSocket(log)) return false;
    // A daemon that does not keep up must not stall the caller.
    if (::send(log.socket, record.data(), record.size(), MSG_NOSIGNAL | MSG_DONTWAIT) >= 0) {
      return true;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK) return false;
    ::close(log.socket);
    log.socket = -1;
  }
  return false;
}

}  // namespace

void ConfigureSystemLog(std::string_view ident, std::string_view socket_path) {
  SystemLog& log = TheSystemLog();
  std::lock_guard<std::mutex> lock(log.mutex);
  log.ident = std::string(ident);
  log.socket_path = std::string(socket_path);
  if (log.socket >= 0) ::close(log.socket);
  log.socket = -1;
}

bool WriteSystemLog(LogFacility facility, LogSeverity severity, std::string_view text) {
  SystemLog& log = TheSystemLog();
  const int priority = static_cast<int>(facility) * 8 + static_cast<int>(severity);
  const std::string tail = "[" + std::to_string(::getpid()) + "]: " + CleanText(text);
  std::lock_guard<std::mutex> lock(log.mutex);
  const std::string record = "<" + std::to_string(priority) + ">" +
                             TimeStamp(NowUnixSeconds()) + " " + log.ident + tail;
  if (SendRecord(log, record)) return true;
  const std::string line = log.ident + tail + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  return false;
}

}  // namespace qx::platform
