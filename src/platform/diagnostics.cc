#include "platform/diagnostics.h"

#include <syslog.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/text_compare.h"

namespace qx::platform {

namespace {

enum class DiagTarget : int { kStdout, kStderr, kSyslog, kOff };

struct OutputSettings {
  std::atomic<DiagTarget> diag{DiagTarget::kStdout};
  std::atomic<bool> debug{false};
  std::atomic<bool> trace{false};
};

OutputSettings g_settings;
std::atomic<DiagTarget> g_unset_diag_target{DiagTarget::kStdout};
std::once_flag g_settings_loaded;
// Serialises openlog/syslog/closelog: the syslog ident is process-wide.
std::mutex g_event_log_mutex;

bool EnvironmentIs(const char* name, const char* expected) {
  const char* value = std::getenv(name);
  return value != nullptr && EqualsNoCase(value, expected);
}

DiagTarget DiagTargetFromEnvironment() {
  if (EnvironmentIs("QXSTORE_DIAG", "stderr")) return DiagTarget::kStderr;
  if (EnvironmentIs("QXSTORE_DIAG", "syslog")) return DiagTarget::kSyslog;
  if (EnvironmentIs("QXSTORE_DIAG", "off")) return DiagTarget::kOff;
  if (EnvironmentIs("QXSTORE_DIAG", "stdout")) return DiagTarget::kStdout;
  return g_unset_diag_target.load();
}

void StoreSettingsFromEnvironment() {
  g_settings.diag.store(DiagTargetFromEnvironment());
  g_settings.debug.store(EnvironmentIs("QXSTORE_DEBUG", "1"));
  g_settings.trace.store(EnvironmentIs("QXSTORE_TRACE", "1"));
}

const OutputSettings& Settings() {
  std::call_once(g_settings_loaded, StoreSettingsFromEnvironment);
  return g_settings;
}

void WriteAndFlush(FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

std::string_view WithoutTrailingLineEnds(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

std::string FormatText(const char* format, va_list args) {
  char small[1024];
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (length < 0) return {};
  if (static_cast<size_t>(length) < sizeof small) return std::string(small, length);
  std::string large(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(large.data(), large.size(), format, args);
  large.resize(static_cast<size_t>(length));
  return large;
}

int SyslogPriority(EventType type) {
  switch (type) {
    case EventType::kError:
      return LOG_ERR;
    case EventType::kWarning:
      return LOG_WARNING;
    case EventType::kInformation:
      return LOG_INFO;
  }
  return LOG_NOTICE;
}

}  // namespace

void DiagPrintf(const char* format, ...) {
  const DiagTarget target = Settings().diag.load();
  if (target == DiagTarget::kOff || format == nullptr) return;
  va_list args;
  va_start(args, format);
  const std::string text = FormatText(format, args);
  va_end(args);
  switch (target) {
    case DiagTarget::kStdout:
      // The original host saw each line as soon as it was printed.
      WriteAndFlush(stdout, text);
      break;
    case DiagTarget::kStderr:
      WriteAndFlush(stderr, text);
      break;
    case DiagTarget::kSyslog: {
      const std::string line(WithoutTrailingLineEnds(text));
      if (!line.empty()) syslog(LOG_INFO, "%s", line.c_str());
      break;
    }
    case DiagTarget::kOff:
      break;
  }
}

void DebugOutput(std::string_view text) {
  if (Settings().debug.load()) WriteAndFlush(stderr, text);
}

void ErrorOutput(std::string_view text) { WriteAndFlush(stderr, text); }

void Trace(std::string_view text) {
  if (!Settings().trace.load()) return;
  // Trace lines are handed over without a line end; one line each on stderr.
  std::string line(text);
  if (line.empty() || line.back() != '\n') line += '\n';
  WriteAndFlush(stderr, line);
}

void TracePrintf(const char* format, ...) {
  if (!Settings().trace.load() || format == nullptr) return;
  va_list args;
  va_start(args, format);
  const std::string text = FormatText(format, args);
  va_end(args);
  WriteAndFlush(stderr, text);
}

std::string JoinEventStrings(const char* const* strings, int string_count) {
  std::string joined;
  for (int i = 0; strings != nullptr && i < string_count; ++i) {
    if (strings[i] == nullptr) continue;
    if (!joined.empty()) joined += ' ';
    joined += strings[i];
  }
  return joined;
}

bool ReportEvent(std::string_view source, EventType type, uint32_t /*event_id*/,
                 const char* const* strings, int string_count) {
  if (source.empty()) return false;
  const std::string ident(source);
  const std::string text = JoinEventStrings(strings, string_count);
  std::lock_guard<std::mutex> lock(g_event_log_mutex);
  // Opened and closed per event, as the original registered and deregistered
  // its event source, so the host's own syslog ident is left as it was.
  openlog(ident.c_str(), LOG_PID, LOG_USER);
  syslog(SyslogPriority(type), "%s", text.c_str());
  closelog();
  return true;
}

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void DiagnosticsToStandardErrorByDefault() {
  g_unset_diag_target.store(DiagTarget::kStderr);
  ReloadDiagnosticsSettings();
}

void ReloadDiagnosticsSettings() {
  std::call_once(g_settings_loaded, [] {});
  StoreSettingsFromEnvironment();
}

}  // namespace qx::platform
