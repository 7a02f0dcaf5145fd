#include "pim/ical_download.h"

#include "frame/registry_readers.h"
#include "platform/diagnostics.h"
#include "platform/text_compare.h"

namespace qx {

namespace {

constexpr std::string_view kSchemes[] = {"http://", "https://"};
constexpr uint32_t kMillisecondsPerSecond = 1000;

// The seconds of a time-out setting, as milliseconds; a value of 0 keeps
// the default, since libcurl would read it as "no time-out".
uint32_t TimeoutSetting(const char* name, uint32_t default_ms) {
  const uint32_t seconds = RegistryDwordOr(kSettingsRoot, name, 0);
  if (seconds == 0 || seconds > UINT32_MAX / kMillisecondsPerSecond) return default_ms;
  return seconds * kMillisecondsPerSecond;
}

}  // namespace

bool IsFeedAddress(std::string_view source) {
  for (std::string_view scheme : kSchemes) {
    if (platform::StartsWithNoCase(source, scheme)) return true;
  }
  return false;
}

platform::HttpGetLimits FeedDownloadLimits() {
  platform::HttpGetLimits limits;
  limits.connect_timeout_ms = TimeoutSetting("iCalendar Connect Timeout", limits.connect_timeout_ms);
  limits.transfer_timeout_ms = TimeoutSetting("iCalendar Transfer Timeout", limits.transfer_timeout_ms);
  // 0, like a missing value, keeps the default: a cap of nothing would
  // refuse every feed.
  if (const uint32_t cap = RegistryDwordOr(kSettingsRoot, "iCalendar Size Limit", 0); cap != 0) {
    limits.max_body_bytes = cap;
  }
  char ca_file[1024] = {};
  if (ReadRegistryString(kSettingsRoot, "iCalendar CA File", ca_file, sizeof ca_file) == 1) {
    limits.extra_ca_file = ca_file;
  }
  return limits;
}

std::optional<std::string> DownloadFeed(std::string_view address, std::string* error) {
  std::string why;
  std::optional<std::string> body;
  const size_t host = address.find("://");
  if (host == std::string_view::npos || address.find('/', host + 3) == std::string_view::npos) {
    why = "the address names no path after its host";
  } else {
    platform::HttpGetResult got = platform::HttpGet(address, FeedDownloadLimits());
    if (got.ok) {
      body = std::move(got.body);
    } else {
      why = got.error;
    }
  }
  if (!body) {
    platform::DebugOutput("iCalendar feed " + std::string(address) + " not read: " + why + "\n");
    if (error != nullptr) *error = why;
  }
  return body;
}

}  // namespace qx
