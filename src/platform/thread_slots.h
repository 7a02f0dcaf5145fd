#pragma once
// Thread-local slots in the manner of TlsAlloc: a process-wide index naming
// one pointer-sized value per thread. Slots can be freed and allocated again;
// a slot allocated again starts empty on every thread.

#include <cstdint>

namespace qx::platform {

constexpr uint32_t kInvalidSlot = 0xFFFFFFFF;
// The last error of TlsAlloc when all slots are taken.
constexpr uint32_t kErrorNoMoreItems = 259;

// A process has 1088 slots.
uint32_t TlsAlloc();  // kInvalidSlot when none is free
// False (last error 87) for a slot that is not allocated.
bool TlsFree(uint32_t slot);
// The calling thread's value, null when it stored none under this
// allocation of the slot. Sets the last error to 0 on success and to 87 for
// a slot that is not allocated.
void* TlsGetValue(uint32_t slot);
// False (last error 87) for a slot that is not allocated.
bool TlsSetValue(uint32_t slot, void* value);

// The library's thread-detach notification: `handler` runs on a thread that
// has touched any slot when that thread ends (not for the main thread at
// process exit). One handler per process; nullptr removes it.
using ThreadDetachHandler = void (*)();
void SetThreadDetachHandler(ThreadDetachHandler handler);

// Registers the calling thread for the detach notification; TlsSetValue does
// this itself.
void WatchCurrentThread();

}  // namespace qx::platform
