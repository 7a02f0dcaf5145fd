#pragma once
// Slows down guessing of the AUTH secret, per client address and across its
// connections: each failed AUTH is answered only after a wait that starts
// at the base delay and doubles with every recent failure from the address
// (up to 32 times the base, and never beyond 30 seconds, half the time a
// client waits for a reply), and an address with too many recent failures
// has its AUTHs refused without being checked until it has been quiet for
// the window. The session closes a connection after its third failure on
// top of this (admin_session.h).
//
// Memory stays bounded: at most kMostAddresses addresses are remembered;
// when the table is full the quietest is forgotten first.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace qx::radms {

class AuthThrottle {
 public:
  static constexpr size_t kMostAddresses = 4096;
  static constexpr uint64_t kWindowMs = 10 * 60 * 1000;
  static constexpr uint32_t kMostDoublings = 5;
  static constexpr uint32_t kLongestDelayMs = 30000;

  AuthThrottle(uint32_t base_delay_ms, int most_failures)
      : base_delay_ms_(base_delay_ms), most_failures_(most_failures) {}

  // True when address has had most_failures failures, none of them further
  // apart from the next than the window, and the last within the window.
  bool Locked(const std::string& address);

  // Records a failed (or refused) AUTH from address; returns how long to
  // wait before answering it.
  uint32_t RecordFailure(const std::string& address);

  // A successful AUTH: the address's failures are forgotten.
  void RecordSuccess(const std::string& address);

  uint32_t longest_delay_ms() const;

 private:
  struct Failures {
    int count = 0;
    uint64_t last_ms = 0;
  };

  // REQUIRES: mutex_ held. The entry of address, started again when its
  // last failure is older than the window.
  Failures& Current(const std::string& address, uint64_t now);
  // REQUIRES: mutex_ held.
  void MakeRoom(uint64_t now);

  const uint32_t base_delay_ms_;
  const int most_failures_;
  std::mutex mutex_;  // guards failures_
  std::unordered_map<std::string, Failures> failures_;
};

}  // namespace qx::radms
