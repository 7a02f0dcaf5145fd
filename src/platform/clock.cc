#include "platform/clock.h"

#include <time.h>

#include <atomic>
#include <cerrno>

#include "platform/file_time.h"

namespace qx::platform {

namespace {

class SystemClock final : public Clock {
 public:
  uint64_t NowFileTime() override {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return FileTimeFromTimespec(now);
  }

  uint64_t TickMilliseconds() override {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
  }

  void SleepMilliseconds(uint32_t ms) override {
    timespec remaining{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
  }
};

// Never destroyed, so code running from static destructors can still ask
// for the time.
SystemClock& TheSystemClock() {
  static SystemClock* clock = new SystemClock;
  return *clock;
}

std::atomic<Clock*> g_installed_clock{nullptr};

}  // namespace

Clock& CurrentClock() {
  Clock* installed = g_installed_clock.load(std::memory_order_acquire);
  return installed != nullptr ? *installed : TheSystemClock();
}

void SetClock(Clock* clock) { g_installed_clock.store(clock, std::memory_order_release); }

int64_t NowUnixSeconds() {
  const int64_t ticks = static_cast<int64_t>(NowFileTime());
  return (ticks - static_cast<int64_t>(kUnixEpochAsFileTime)) /
         static_cast<int64_t>(kTicksPerSecond);
}

}  // namespace qx::platform
