#include "auth_throttle.h"

#include <algorithm>

#include "platform/clock.h"

namespace qx::radms {

AuthThrottle::Failures& AuthThrottle::Current(const std::string& address, uint64_t now) {
  Failures& entry = failures_[address];
  if (entry.count > 0 && now - entry.last_ms > kWindowMs) entry = Failures{};
  return entry;
}

void AuthThrottle::MakeRoom(uint64_t now) {
  std::erase_if(failures_, [now](const auto& item) { return now - item.second.last_ms > kWindowMs; });
  while (failures_.size() >= kMostAddresses) {
    auto quietest = std::min_element(failures_.begin(), failures_.end(), [](const auto& a, const auto& b) {
      return a.second.last_ms < b.second.last_ms;
    });
    failures_.erase(quietest);
  }
}

bool AuthThrottle::Locked(const std::string& address) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = failures_.find(address);
  if (found == failures_.end()) return false;
  const uint64_t now = platform::TickMilliseconds();
  return found->second.count >= most_failures_ && now - found->second.last_ms <= kWindowMs;
}

uint32_t AuthThrottle::RecordFailure(const std::string& address) {
  std::lock_guard<std::mutex> lock(mutex_);
  const uint64_t now = platform::TickMilliseconds();
  if (failures_.size() >= kMostAddresses && !failures_.contains(address)) MakeRoom(now);
  Failures& entry = Current(address, now);
  entry.count += 1;
  entry.last_ms = now;
  const uint32_t doublings = std::min<uint32_t>(static_cast<uint32_t>(entry.count - 1), kMostDoublings);
  return std::min(base_delay_ms_ << doublings, longest_delay_ms());
}

uint32_t AuthThrottle::longest_delay_ms() const {
  return std::min(base_delay_ms_ << kMostDoublings, std::max(kLongestDelayMs, base_delay_ms_));
}

void AuthThrottle::RecordSuccess(const std::string& address) {
  std::lock_guard<std::mutex> lock(mutex_);
  failures_.erase(address);
}

}  // namespace qx::radms
