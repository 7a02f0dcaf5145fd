// The AUTH throttle of the remote administration host, in test time: the
// waits after failures, the lock-out of an address, its end after a quiet
// window, and a table that cannot grow without bound.

#include "qxradms/auth_throttle.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_store.h"

namespace qx::radms {
namespace {

class AuthThrottleTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetClock(&clock_); }
  void TearDown() override { platform::SetClock(nullptr); }
  test::FakeClock clock_;
};

TEST_F(AuthThrottleTest, WaitsDoubleToTheCapAndLockOutsEndAfterAQuietWindow) {
  AuthThrottle throttle(1000, 8);
  std::vector<uint32_t> waits;
  for (int i = 0; i < 8; ++i) waits.push_back(throttle.RecordFailure("192.0.2.7"));
  EXPECT_EQ(waits, (std::vector<uint32_t>{1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000}));
  EXPECT_TRUE(throttle.Locked("192.0.2.7"));
  EXPECT_FALSE(throttle.Locked("192.0.2.8")) << "per address";
  EXPECT_EQ(throttle.RecordFailure("192.0.2.8"), 1000u);

  // Failures keep the lock; ten quiet minutes end it and start the waits again.
  clock_.Advance(AuthThrottle::kWindowMs);
  EXPECT_TRUE(throttle.Locked("192.0.2.7"));
  clock_.Advance(1);
  EXPECT_FALSE(throttle.Locked("192.0.2.7"));
  EXPECT_EQ(throttle.RecordFailure("192.0.2.7"), 1000u);

  // A success forgets the address's failures.
  throttle.RecordFailure("192.0.2.7");
  throttle.RecordSuccess("192.0.2.7");
  EXPECT_EQ(throttle.RecordFailure("192.0.2.7"), 1000u);

  // A small base doubles five times at most.
  AuthThrottle quick(20, 100);
  uint32_t wait = 0;
  for (int i = 0; i < 10; ++i) wait = quick.RecordFailure("192.0.2.9");
  EXPECT_EQ(wait, 640u);
}

TEST_F(AuthThrottleTest, RemembersABoundedNumberOfAddressesForgettingTheQuietestFirst) {
  AuthThrottle throttle(10, 1);
  const size_t addresses = AuthThrottle::kMostAddresses + 100;
  for (size_t i = 0; i < addresses; ++i) {
    throttle.RecordFailure("10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256));
    clock_.Advance(1);
  }
  EXPECT_FALSE(throttle.Locked("10.0.0.0")) << "the quietest was forgotten";
  const size_t last = addresses - 1;
  EXPECT_TRUE(throttle.Locked("10.0." + std::to_string(last / 256) + "." + std::to_string(last % 256)));
}

}  // namespace
}  // namespace qx::radms
