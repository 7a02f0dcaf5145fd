#pragma once
// Mutex wrappers of the store: Mutex owns a handle, MutexLock is a scoped
// lock that reports results as numbers, xMutexLock is a scoped lock that
// throws Exception from "common/xMutexLock".
//
// Only unnamed, process-local mutexes are offered: every mutex the store
// creates (the open index registry's and the index mutex) is unnamed.

#include <cstdint>
#include <string>

#include "platform/mutex.h"

namespace qx {

class Mutex {
 public:
  // Creates an unnamed mutex that nobody owns yet; handle() is null when the
  // platform could not create one.
  Mutex();
  ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  platform::MutexHandle handle() const { return handle_; }

 private:
  platform::MutexHandle handle_;
};

// A handle as the mutex messages print it: "0x" and 16 hexadecimal digits.
std::string FormatMutexHandle(platform::MutexHandle handle);

class MutexLock {
 public:
  enum Result : uint32_t { kFailed = 0, kLocked = 1, kTimedOut = 2, kAbandoned = 3 };

  // With lock_now the constructor calls Lock() at once; its result is
  // then available from last_result().
  explicit MutexLock(platform::MutexHandle handle, uint32_t timeout_ms = platform::kInfinite,
                     bool lock_now = true);
  // Unlocks when locked.
  virtual ~MutexLock();
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

  // kFailed without a handle; kLocked at once when already locked; otherwise
  // the wait's result: kLocked (now locked), kTimedOut, kAbandoned (the
  // owner thread ended holding it; not locked), kFailed.
  uint32_t Lock();
  // 1 when no longer locked afterwards, 0 when the release failed.
  uint32_t Unlock();

  bool locked() const { return locked_; }
  uint32_t last_result() const { return last_result_; }

 private:
  platform::MutexHandle handle_;
  uint32_t timeout_ms_;
  bool locked_ = false;
  uint32_t last_result_ = kFailed;
};

// Locks on construction and unlocks on destruction; a null handle is
// neither locked nor released. Both directions throw Exception from
// "common/xMutexLock" with the messages the store has always used. The
// destructor does not throw while another exception is already unwinding.
class xMutexLock {
 public:
  explicit xMutexLock(platform::MutexHandle handle, uint32_t timeout_ms = platform::kInfinite);
  virtual ~xMutexLock() noexcept(false);
  xMutexLock(const xMutexLock&) = delete;
  xMutexLock& operator=(const xMutexLock&) = delete;

 private:
  platform::MutexHandle handle_;
  uint32_t timeout_ms_;
};

}  // namespace qx
