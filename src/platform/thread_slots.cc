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

struct ThreadSlotValues {
  void* value[kSlotCount] = {};
  uint64_t generation[kSlotCount] = {};
};

thread_local ThreadSlotValues* t_values = nullptr;
thread_local bool t_watched = false;

bool IsMainThread() { return syscall(SYS_gettid) == getpid(); }

// Runs the detach handler when its thread ends. Slot values are freed only
// afterwards, so the handler still reads them.
class ThreadEndWatch {
 public:
  ~ThreadEndWatch() {
    ThreadDetachHandler handler = g_detach_handler.load(std::memory_order_acquire);
    // The main thread ends with the process, which has its own detach.
    if (handler != nullptr && !IsMainThread()) handler();
    delete t_values;
    t_values = nullptr;
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
  // Tested here, beside the thread's values: every exported call reads a
  // slot, and a call to find the thread watched already costs as much as
  // the read.
  if (!t_watched) WatchCurrentThread();
  // Success clears the last error so that a stored null can be told apart.
  SetLastError(kErrorSuccess);
  if (t_values == nullptr || t_values->generation[slot] != generation) return nullptr;
  return t_values->value[slot];
}

bool TlsSetValue(uint32_t slot, void* value) {
  uint64_t generation = 0;
  if (!IsAllocated(slot, &generation)) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  WatchCurrentThread();
  if (t_values == nullptr) {
    t_values = new (std::nothrow) ThreadSlotValues;
    if (t_values == nullptr) {
      SetLastError(kErrorNotEnoughMemory);
      return false;
    }
  }
  t_values->value[slot] = value;
  t_values->generation[slot] = generation;
  return true;
}

void SetThreadDetachHandler(ThreadDetachHandler handler) {
  g_detach_handler.store(handler, std::memory_order_release);
}

void WatchCurrentThread() {
  if (t_watched) return;
  t_watched = true;
  // Constructing it registers its destructor for this thread only.
  static thread_local ThreadEndWatch watch;
  (void)watch;
}

}  // namespace qx::platform
