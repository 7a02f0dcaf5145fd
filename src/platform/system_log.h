#pragma once
// Records for the system log, written straight to its datagram socket
// rather than through the C library's syslog(): the socket's path can then
// be chosen (tests give their own), and ReportEvent's ident ("Talmera") is
// left alone. Each record is one datagram in the traditional form
//
//   <PRI>Mmm dd hh:mm:ss ident[pid]: text
//
// which journald, rsyslog and syslog-ng all read, and which log watchers
// such as fail2ban match line by line.

#include <string_view>

namespace qx::platform {

enum class LogFacility : int { kDaemon = 3, kAuthPriv = 10 };
enum class LogSeverity : int { kError = 3, kWarning = 4, kNotice = 5, kInfo = 6 };

inline constexpr const char* kDefaultSystemLogSocket = "/dev/log";

// The ident records carry (default "qxstore") and the socket they go to
// (default /dev/log). Call before the first record; records already being
// written are not disturbed.
void ConfigureSystemLog(std::string_view ident, std::string_view socket_path);

// Sends one record. Line ends and other control characters in text become
// blanks, so a record is always one line and a caller's text cannot forge a
// second record. When no log socket takes the record at once (no syslog
// daemon, or one that does not keep up), it goes to standard error as
// "ident[pid]: text" instead: never lost silently, and never a wait. Safe
// from any thread. True when the log socket took it.
bool WriteSystemLog(LogFacility facility, LogSeverity severity, std::string_view text);

}  // namespace qx::platform
