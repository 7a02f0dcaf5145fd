#include "platform/mutex.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/errors.h"

namespace qx::platform {
namespace {

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
}

}  // namespace
}  // namespace qx::platform
