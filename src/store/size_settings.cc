#include "store/size_settings.h"

#include <atomic>

#include "frame/registry_readers.h"

namespace qx {

namespace {

constexpr const char* kConnectorKey = "SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera\\CONNECTORS\\SF";
constexpr int64_t kUnread = -1;

std::atomic<int64_t> enumeration_mode{kUnread};
std::atomic<int64_t> calc_timeout{kUnread};
std::atomic<int64_t> disabled_mode{kUnread};

uint32_t ReadOnce(std::atomic<int64_t>& kept, const char* value, uint32_t fallback) {
  int64_t current = kept.load();
  if (current == kUnread) {
    current = RegistryDwordOr(kConnectorKey, value, fallback);
    kept.store(current);
  }
  return static_cast<uint32_t>(current);
}

}  // namespace

uint32_t QuotaEnumerationMode() { return ReadOnce(enumeration_mode, "Quota Enumeration Mode", 0); }

uint32_t QuotaCalcTimeoutSeconds() { return ReadOnce(calc_timeout, "Quota Calc Timeout", 7200); }

uint32_t DisabledMailboxQuotaMode() {
  return ReadOnce(disabled_mode, "Disabled Mailbox Quota Enumeration Mode", 0);
}

void ForgetSizeSettings() {
  enumeration_mode.store(kUnread);
  calc_timeout.store(kUnread);
  disabled_mode.store(kUnread);
}

}  // namespace qx
