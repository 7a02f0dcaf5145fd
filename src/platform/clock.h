#pragma once
// Every "now" and every sleep of the store goes through this clock, so tests
// can replace it and run one-second polls in test time.

#include <cstdint>

namespace qx::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Current UTC time as FILETIME ticks.
  virtual uint64_t NowFileTime() = 0;
  // Milliseconds from an arbitrary fixed start, never going backwards.
  virtual uint64_t TickMilliseconds() = 0;
  virtual void SleepMilliseconds(uint32_t ms) = 0;
};

// The clock in force. Never null.
Clock& CurrentClock();

// Replaces the clock for the whole process; nullptr restores the system
// clock. The caller keeps ownership and must keep it alive while installed.
void SetClock(Clock* clock);

inline uint64_t NowFileTime() { return CurrentClock().NowFileTime(); }
inline uint64_t TickMilliseconds() { return CurrentClock().TickMilliseconds(); }
inline void Sleep(uint32_t ms) { CurrentClock().SleepMilliseconds(ms); }

// Seconds since 1970-01-01 UTC according to the clock in force.
int64_t NowUnixSeconds();

}  // namespace qx::platform
