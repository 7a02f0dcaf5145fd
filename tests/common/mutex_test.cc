#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <thread>

#include "common/exception.h"
#include "common/mutex.h"
#include "platform/mutex.h"

namespace qx {
namespace {

// Holds the mutex on another thread for the life of the object.
class Holder {
 public:
  explicit Holder(platform::MutexHandle mutex)
      : thread_([this, mutex] {
          platform::WaitForMutex(mutex, platform::kInfinite);
          held_.set_value();
          release_.get_future().wait();
          platform::ReleaseMutex(mutex);
        }) {
    held_.get_future().wait();
  }
  ~Holder() {
    release_.set_value();
    thread_.join();
  }

 private:
  std::promise<void> held_;
  std::promise<void> release_;
  std::thread thread_;
};

// Takes the mutex on a thread that ends without releasing it.
void AbandonOnAnotherThread(platform::MutexHandle mutex) {
  std::thread([mutex] { platform::WaitForMutex(mutex, platform::kInfinite); }).join();
}

bool FreeForOtherThreads(platform::MutexHandle mutex) {
  return std::async(std::launch::async, [mutex] { return MutexLock(mutex, 0).locked(); }).get();
}

TEST(MutexLockTest, ResultsOfLockAndUnlock) {
  EXPECT_EQ(MutexLock(nullptr).last_result(), MutexLock::kFailed);
  Mutex mutex;
  {
    MutexLock lock(mutex.handle(), platform::kInfinite, false);
    EXPECT_EQ(lock.Lock(), 1u);
    // A second lock reports success without taking the mutex again, so one
    // unlock frees it for everyone.
    EXPECT_EQ(lock.Lock(), 1u);
    EXPECT_EQ(lock.Unlock(), 1u);
    EXPECT_TRUE(FreeForOtherThreads(mutex.handle()));
    EXPECT_EQ(lock.Lock(), 1u);
  }
  EXPECT_TRUE(FreeForOtherThreads(mutex.handle()));  // the destructor unlocked it
  // An abandoned mutex reports 3, is not held by the lock, and stays usable.
  AbandonOnAnotherThread(mutex.handle());
  {
    MutexLock lock(mutex.handle());
    EXPECT_EQ(lock.last_result(), MutexLock::kAbandoned);
    EXPECT_FALSE(lock.locked());
  }
  EXPECT_TRUE(FreeForOtherThreads(mutex.handle()));
}

std::string ThrownMessage(const std::function<void()>& action) {
  try {
    action();
  } catch (const Exception& thrown) {
    EXPECT_EQ(thrown.source_file(), "common/xMutexLock");
    return thrown.message();
  }
  return "(nothing thrown)";
}

TEST(xMutexLockTest, FailuresThrowTheStoreMessages) {
  Mutex mutex;
  const std::string handle = FormatMutexHandle(mutex.handle());
  {
    Holder holder(mutex.handle());
    EXPECT_EQ(ThrownMessage([&] { xMutexLock lock(mutex.handle(), 20); }),
              "Failed to lock mutex " + handle + ": request timed out");
  }
  AbandonOnAnotherThread(mutex.handle());
  EXPECT_EQ(ThrownMessage([&] { xMutexLock lock(mutex.handle()); }),
            "Mutex " + handle + " was abandoned by another thread");
  EXPECT_TRUE(FreeForOtherThreads(mutex.handle()));
  // Releasing behind the lock's back makes its own release fail.
  EXPECT_EQ(ThrownMessage([&] {
              xMutexLock lock(mutex.handle());
              platform::ReleaseMutex(mutex.handle());
            }),
            "Failed to unlock mutex " + handle + " with error 288");
  EXPECT_NO_THROW({ xMutexLock nothing(nullptr); });
}

}  // namespace
}  // namespace qx
