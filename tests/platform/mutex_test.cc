#include "platform/mutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/errors.h"

namespace qx::platform {
namespace {

using Clock = std::chrono::steady_clock;

template <typename Body>
void OnOtherThread(Body body) {
  std::thread(body).join();
}

TEST(Mutex, RecursiveAndOwnedByOneThread) {
  MutexHandle mutex = CreateMutex();
  ASSERT_EQ(WaitForMutex(mutex, kInfinite), WaitResult::kAcquired);
  ASSERT_EQ(WaitForMutex(mutex, 0), WaitResult::kAcquired);
  OnOtherThread([mutex] {
    EXPECT_EQ(WaitForMutex(mutex, 20), WaitResult::kTimeout);
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(GetLastError(), kErrorNotOwner);
  });
  // Held until released as often as taken.
  EXPECT_TRUE(ReleaseMutex(mutex));
  OnOtherThread([mutex] { EXPECT_EQ(WaitForMutex(mutex, 0), WaitResult::kTimeout); });
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_FALSE(ReleaseMutex(mutex));
  OnOtherThread([mutex] {
    EXPECT_EQ(WaitForMutex(mutex, 0), WaitResult::kAcquired);
    EXPECT_TRUE(ReleaseMutex(mutex));
  });
  CloseMutex(mutex);
  EXPECT_EQ(WaitForMutex(nullptr, 0), WaitResult::kFailed);
  EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
}

TEST(Mutex, OwnerThreadEndingLeavesItAbandonedOnce) {
  MutexHandle mutex = CreateMutex();
  OnOtherThread([mutex] {
    ASSERT_EQ(WaitForMutex(mutex, kInfinite), WaitResult::kAcquired);
    ASSERT_EQ(WaitForMutex(mutex, kInfinite), WaitResult::kAcquired);
  });
  EXPECT_EQ(WaitForMutex(mutex, 1000), WaitResult::kAbandoned);
  // Taken by the abandoned wait, once.
  OnOtherThread([mutex] { EXPECT_EQ(WaitForMutex(mutex, 0), WaitResult::kTimeout); });
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_FALSE(ReleaseMutex(mutex));
  EXPECT_EQ(WaitForMutex(mutex, kInfinite), WaitResult::kAcquired);
  EXPECT_TRUE(ReleaseMutex(mutex));
  // An infinite wait reports it too.
  OnOtherThread([mutex] { WaitForMutex(mutex, kInfinite); });
  EXPECT_EQ(WaitForMutex(mutex, kInfinite), WaitResult::kAbandoned);
  CloseMutex(mutex);  // still held by this thread: released and freed
}

TEST(Mutex, TimedWaitsTimeOutInRealTimeAndInfiniteWaitsBlock) {
  MutexHandle mutex = CreateMutex();
  std::atomic<int> step{0};
  std::thread holder([&] {
    WaitForMutex(mutex, kInfinite);
    step = 1;
    while (step.load() != 2) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ReleaseMutex(mutex);
  });
  while (step.load() != 1) std::this_thread::yield();
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(WaitForMutex(mutex, 150), WaitResult::kTimeout);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(140));
  step = 2;
  EXPECT_EQ(WaitForMutex(mutex, kInfinite), WaitResult::kAcquired);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(240));
  holder.join();
  EXPECT_TRUE(ReleaseMutex(mutex));
  CloseMutex(mutex);
}

}  // namespace
}  // namespace qx::platform
