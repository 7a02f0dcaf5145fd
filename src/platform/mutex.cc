#include "platform/mutex.h"

#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <new>

#include "platform/errors.h"

namespace qx::platform {

namespace {

struct MutexObject {
  pthread_mutex_t mutex;
  // The holder's thread id, 0 when free; read by any thread to refuse a
  // release by a non-owner without touching the mutex.
  std::atomic<pid_t> owner{0};
  // How often the owner holds it; touched only while holding it.
  uint32_t depth = 0;
};

MutexObject* ObjectOf(MutexHandle handle) { return static_cast<MutexObject*>(handle); }

pid_t CurrentThreadId() {
  thread_local const pid_t id = gettid();
  return id;
}

bool InitialiseRecursiveRobust(pthread_mutex_t* mutex) {
  pthread_mutexattr_t attributes;
  if (pthread_mutexattr_init(&attributes) != 0) return false;
  const bool configured =
      pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE) == 0 &&
      pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST) == 0;
  const int result = configured ? pthread_mutex_init(mutex, &attributes) : EINVAL;
  pthread_mutexattr_destroy(&attributes);
  if (result != 0) SetLastErrorFromErrno(result);
  return configured && result == 0;
}

timespec DeadlineAfter(uint32_t timeout_ms) {
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += static_cast<time_t>(timeout_ms / 1000);
  deadline.tv_nsec += static_cast<long>(timeout_ms % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  return deadline;
}

// These waits are between threads of one process, so they run in real time
// even when tests replace the store's clock.
int Lock(pthread_mutex_t* mutex, uint32_t timeout_ms) {
  if (timeout_ms == kInfinite) return pthread_mutex_lock(mutex);
  if (timeout_ms == 0) return pthread_mutex_trylock(mutex);
  const timespec deadline = DeadlineAfter(timeout_ms);
  return pthread_mutex_clocklock(mutex, CLOCK_MONOTONIC, &deadline);
}

void NoteAcquired(MutexObject* object, bool abandoned) {
  const pid_t self = CurrentThreadId();
  // After an abandonment the recorded owner and depth are the dead thread's.
  if (!abandoned && object->owner.load(std::memory_order_relaxed) == self) {
    ++object->depth;
    return;
  }
  object->owner.store(self, std::memory_order_relaxed);
  object->depth = 1;
}

bool ReleaseOnce(MutexObject* object) {
  if (object->owner.load(std::memory_order_relaxed) != CurrentThreadId() || object->depth == 0) {
    SetLastError(kErrorNotOwner);
    return false;
  }
  if (--object->depth == 0) object->owner.store(0, std::memory_order_relaxed);
  const int result = pthread_mutex_unlock(&object->mutex);
  if (result == 0) return true;
  SetLastError(result == EPERM ? kErrorNotOwner : ErrorFromErrno(result));
  return false;
}

}  // namespace

MutexHandle CreateMutex() {
  auto* object = new (std::nothrow) MutexObject;
  if (object == nullptr) {
    SetLastError(kErrorNotEnoughMemory);
    return nullptr;
  }
  if (!InitialiseRecursiveRobust(&object->mutex)) {
    delete object;
    return nullptr;
  }
  return object;
}

void CloseMutex(MutexHandle handle) {
  if (handle == nullptr) return;
  MutexObject* object = ObjectOf(handle);
  while (object->owner.load(std::memory_order_relaxed) == CurrentThreadId() &&
         ReleaseOnce(object)) {
  }
  // A robust mutex still held by another thread stays linked into that
  // thread's robust list; freeing it would let the kernel write into freed
  // memory when that thread ends, so such a mutex is left allocated.
  const int probe = pthread_mutex_trylock(&object->mutex);
  if (probe == EOWNERDEAD) pthread_mutex_consistent(&object->mutex);
  if (probe != 0 && probe != EOWNERDEAD) return;
  pthread_mutex_unlock(&object->mutex);
  pthread_mutex_destroy(&object->mutex);
  delete object;
}

WaitResult WaitForMutex(MutexHandle handle, uint32_t timeout_ms) {
  if (handle == nullptr) {
    SetLastError(kErrorInvalidHandle);
    return WaitResult::kFailed;
  }
  MutexObject* object = ObjectOf(handle);
  const int result = Lock(&object->mutex, timeout_ms);
  switch (result) {
    case 0:
      NoteAcquired(object, false);
      return WaitResult::kAcquired;
    case EOWNERDEAD:
      pthread_mutex_consistent(&object->mutex);
      NoteAcquired(object, true);
      return WaitResult::kAbandoned;
    case EBUSY:
    case ETIMEDOUT:
      return WaitResult::kTimeout;
    default:
      SetLastErrorFromErrno(result);
      return WaitResult::kFailed;
  }
}

bool ReleaseMutex(MutexHandle handle) {
  if (handle == nullptr) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  return ReleaseOnce(ObjectOf(handle));
}

}  // namespace qx::platform
