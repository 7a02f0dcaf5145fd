#pragma once
// Unnamed process-local mutexes with the original semantics: recursive,
// owned by a thread, and robust: a wait on a mutex whose owner ended while
// holding it reports "abandoned" and takes it.

#include <cstdint>

namespace qx::platform {

using MutexHandle = void*;
constexpr uint32_t kInfinite = 0xFFFFFFFF;
// The last error of a release by a thread that does not own the mutex.
constexpr uint32_t kErrorNotOwner = 288;

enum class WaitResult { kAcquired, kTimeout, kAbandoned, kFailed };

MutexHandle CreateMutex();  // null on failure
// Drops the calling thread's holds and frees the mutex. A mutex that another
// thread still holds is not freed (it stays linked to that thread).
void CloseMutex(MutexHandle mutex);
// Waits up to `timeout_ms` (kInfinite for ever). kAbandoned also acquires.
WaitResult WaitForMutex(MutexHandle mutex, uint32_t timeout_ms);
// False (last error 288) when the calling thread does not own it.
bool ReleaseMutex(MutexHandle mutex);

}  // namespace qx::platform
