#include "platform/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

namespace qx::platform {
namespace {

class StoppedClock : public Clock {
 public:
  explicit StoppedClock(uint64_t file_time) : file_time_(file_time) {}
  uint64_t NowFileTime() override { return file_time_; }
  uint64_t TickMilliseconds() override { return 5; }
  void SleepMilliseconds(uint32_t ms) override { slept_ += ms; }
  uint64_t slept_ = 0;

 private:
  uint64_t file_time_;
};

TEST(Clock, SystemClockIsUtcFileTimeAndCanBeReplaced) {
  const int64_t unix_now = std::time(nullptr);
  const int64_t from_file_time =
      static_cast<int64_t>(NowFileTime() / 10000000ULL) - 11644473600LL;
  EXPECT_LE(std::abs(from_file_time - unix_now), 2);
  EXPECT_LE(std::abs(NowUnixSeconds() - unix_now), 2);

  const uint64_t tick = TickMilliseconds();
  const auto start = std::chrono::steady_clock::now();
  Sleep(30);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
  EXPECT_GE(TickMilliseconds() - tick, 29u);

  // Half a second before the epoch truncates toward zero.
  StoppedClock stopped(116444736000000000ULL - 5000000ULL);
  SetClock(&stopped);
  EXPECT_EQ(NowUnixSeconds(), 0);
  EXPECT_EQ(TickMilliseconds(), 5u);
  Sleep(1000);
  EXPECT_EQ(stopped.slept_, 1000u);
  SetClock(nullptr);
  EXPECT_LE(std::abs(NowUnixSeconds() - unix_now), 3);
}

}  // namespace
}  // namespace qx::platform
