#include "common/mutex.h"

#include <cinttypes>
#include <cstdio>
#include <exception>

#include "common/exception.h"
#include "platform/errors.h"

namespace qx {

namespace {

constexpr const char* kUnit = "common/xMutexLock";

}  // namespace

Mutex::Mutex() : handle_(platform::CreateMutex()) {}

Mutex::~Mutex() {
  if (handle_ != nullptr) platform::CloseMutex(handle_);
}

std::string FormatMutexHandle(platform::MutexHandle handle) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%016" PRIxPTR, reinterpret_cast<uintptr_t>(handle));
  return text;
}

MutexLock::MutexLock(platform::MutexHandle handle, uint32_t timeout_ms, bool lock_now)
    : handle_(handle), timeout_ms_(timeout_ms) {
  if (lock_now) Lock();
}

MutexLock::~MutexLock() { Unlock(); }

uint32_t MutexLock::Lock() {
  if (handle_ == nullptr) return last_result_ = kFailed;
  if (locked_) return last_result_ = kLocked;
  switch (platform::WaitForMutex(handle_, timeout_ms_)) {
    case platform::WaitResult::kAcquired:
      locked_ = true;
      return last_result_ = kLocked;
    case platform::WaitResult::kTimeout:
      return last_result_ = kTimedOut;
    case platform::WaitResult::kAbandoned:
      // The wait took ownership, but this lock is not marked as holding it
      // and so would never give it back: release it now so that the mutex
      // stays usable for every other thread.
      platform::ReleaseMutex(handle_);
      return last_result_ = kAbandoned;
    case platform::WaitResult::kFailed:
      break;
  }
  return last_result_ = kFailed;
}

uint32_t MutexLock::Unlock() {
  if (locked_ && platform::ReleaseMutex(handle_)) locked_ = false;
  return locked_ ? 0 : 1;
}

xMutexLock::xMutexLock(platform::MutexHandle handle, uint32_t timeout_ms)
    : handle_(handle), timeout_ms_(timeout_ms) {
  if (handle_ == nullptr) return;
  switch (platform::WaitForMutex(handle_, timeout_ms_)) {
    case platform::WaitResult::kAcquired:
      return;
    case platform::WaitResult::kTimeout:
      ThrowException(kUnit, "Failed to lock mutex " + FormatMutexHandle(handle_) +
                                ": request timed out");
    case platform::WaitResult::kAbandoned:
      // No destructor runs for a constructor that throws: give back the
      // ownership the wait took.
      platform::ReleaseMutex(handle_);
      ThrowException(kUnit, "Mutex " + FormatMutexHandle(handle_) +
                                " was abandoned by another thread");
    case platform::WaitResult::kFailed:
      break;
  }
  uint32_t error = platform::GetLastError();
  ThrowException(kUnit, "Failed to lock mutex " + FormatMutexHandle(handle_) + " with error " +
                            std::to_string(error));
}

xMutexLock::~xMutexLock() noexcept(false) {
  if (handle_ == nullptr) return;
  if (platform::ReleaseMutex(handle_)) return;
  uint32_t error = platform::GetLastError();
  if (std::uncaught_exceptions() > 0) return;
  ThrowException(kUnit, "Failed to unlock mutex " + FormatMutexHandle(handle_) + " with error " +
                            std::to_string(error));
}

}  // namespace qx
