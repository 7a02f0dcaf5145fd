#include "platform/thread_slots.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <memory>

#include "platform/errors.h"

namespace qx::platform {

namespace {

// As many slots as the original platform offered a process.
constexpr uint32_t kSlotCount = 1088;

// Each slot's generation is odd while the slot is allocated and even while it
// is free. A thread's value counts only when it was stored under the current
// generation, so a slot freed and allocated again reads as empty everywhere
// without visiting other threads.
std::atomic<uint64_t> g_generation[kSlotCount];

std::atomic<ThreadDetachHandler> g_detach_handler{nullptr};

// A slot's value beside its generation, so that a read touches one cache
// line.
struct ThreadSlotValue {
  void* value = nullptr;
  uint64_t generation = 0;
};

struct ThreadSlotValues {
  ThreadSlotValue slot[kSlotCount];
};

// Both in one object: each thread-local variable of a shared library is
// found by a call of its own, and every exported call reads a slot.
struct ThreadSlotState {
  ThreadSlotValues* values = nullptr;
  bool watched = false;  // registered for the detach notification
};
thread_local ThreadSlotState t_slots;

bool IsMainThread() { return syscall(SYS_gettid) == getpid(); }

// Runs the detach handler when its thread ends. Slot values are freed only
// afterwards, so the handler still reads them.
class ThreadEndWatch {
 public:
  ~ThreadEndWatch() {
    ThreadDetachHandler handler = g_detach_handler.load(std::memory_order_acquire);
    // The main thread ends with the process, which has its own detach.
    if (handler != nullptr && !IsMainThread()) handler();
    delete t_slots.values;
    t_slots.values = nullptr;
  }
};

bool IsAllocated(uint32_t slot, uint64_t* generation) {
  if (slot >= kSlotCount) return false;
  *generation = g_generation[slot].load(std::memory_order_acquire);
  return (*generation & 1) != 0;
}

}  // namespace

uint32_t TlsAlloc() {
  for (uint32_t slot = 0; slot < kSlotCount; ++slot) {
    uint64_t generation = g_generation[slot].load(std::memory_order_relaxed);
    while ((generation & 1) == 0) {
      if (g_generation[slot].compare_exchange_weak(generation, generation + 1,
                                                   std::memory_order_acq_rel)) {
        return slot;
      }
    }
  }
  SetLastError(kErrorNoMoreItems);
  return kInvalidSlot;
}

bool TlsFree(uint32_t slot) {
  uint64_t generation = 0;
  while (IsAllocated(slot, &generation)) {
    if (g_generation[slot].compare_exchange_weak(generation, generation + 1,
                                                 std::memory_order_acq_rel)) {
      return true;
    }
  }
  SetLastError(kErrorInvalidParameter);
  return false;
}

void* TlsGetValue(uint32_t slot) {
  uint64_t generation = 0;
  if (!IsAllocated(slot, &generation)) {
    SetLastError(kErrorInvalidParameter);
    return nullptr;
  }
  // The watch is tested here, and both fields are read before any call
  // (after one the compiler would find the thread's object again): every
  // exported call reads a slot.
  const ThreadSlotState& mine = t_slots;
  const ThreadSlotValues* values = mine.values;
  if (!mine.watched) WatchCurrentThread();
  // Success clears the last error so that a stored null can be told apart.
  SetLastError(kErrorSuccess);
  if (values == nullptr || values->slot[slot].generation != generation) return nullptr;
  return values->slot[slot].value;
}

bool TlsSetValue(uint32_t slot, void* value) {
  uint64_t generation = 0;
  if (!IsAllocated(slot, &generation)) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  WatchCurrentThread();
  ThreadSlotValues*& values = t_slots.values;
  if (values == nullptr) {
    values = new (std::nothrow) ThreadSlotValues;
    if (values == nullptr) {
      SetLastError(kErrorNotEnoughMemory);
      return false;
    }
  }
  values->slot[slot] = {value, generation};
  return true;
}

void SetThreadDetachHandler(ThreadDetachHandler handler) {
  g_detach_handler.store(handler, std::memory_order_release);
}

void WatchCurrentThread() {
  if (t_slots.watched) return;
  t_slots.watched = true;
  // Constructing it registers its destructor for this thread only.
  static thread_local ThreadEndWatch watch;
  (void)watch;
}

}  // namespace qx::platform
