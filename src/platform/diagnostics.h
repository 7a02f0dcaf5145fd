#pragma once
// Where the system's own lines go. Diagnostic lines (the original printf
// output) go to standard output unless QXSTORE_DIAG says "stderr", "syslog"
// or "off". Debugger output goes to standard error only when QXSTORE_DEBUG=1.
// The trace hook discards unless QXSTORE_TRACE=1 (then standard error).
// The event log is syslog with the ident "Talmera".

#include <cstdint>
#include <string>
#include <string_view>

namespace qx::platform {

void DiagPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void DebugOutput(std::string_view text);
void Trace(std::string_view text);
// Trace with printf formatting; nothing is formatted while tracing is off.
void TracePrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Standard error whatever the variables say: for what a host must see even
// with diagnostics off (a library that could not start).
void ErrorOutput(std::string_view text);

enum class EventType : uint16_t { kError = 1, kWarning = 2, kInformation = 4 };
// One event with its strings; false when the event source cannot be opened.
bool ReportEvent(std::string_view source, EventType type, uint32_t event_id,
                 const char* const* strings, int string_count);

// The text ReportEvent logs: the non-null strings joined by a blank.
std::string JoinEventStrings(const char* const* strings, int string_count);

// Where diagnostic lines go while QXSTORE_DIAG is unset: standard error
// instead of standard output, for command-line programs whose standard
// output carries their data. Call before the first line is written.
void DiagnosticsToStandardErrorByDefault();

// True when standard error is a terminal: progress lines are for a person
// watching, not for a log file.
bool StandardErrorIsTerminal();

// The three variables are read once, at the first line written. Hosts (and
// tests) that change them later call this to read them again.
void ReloadDiagnosticsSettings();

}  // namespace qx::platform
