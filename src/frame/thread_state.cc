#include "frame/thread_state.h"

#include <atomic>

#include "platform/thread_slots.h"

namespace qx {

namespace {

struct ThreadSlots {
  std::atomic<uint32_t> enumeration_cursor{platform::kInvalidSlot};
  std::atomic<uint32_t> store_index{platform::kInvalidSlot};
  std::atomic<uint32_t> folder_list{platform::kInvalidSlot};
  std::atomic<uint32_t> search{platform::kInvalidSlot};
};

ThreadSlots& Slots() {
  static ThreadSlots slots;
  return slots;
}

void* SlotValue(const std::atomic<uint32_t>& slot) {
  uint32_t index = slot.load();
  return index == platform::kInvalidSlot ? nullptr : platform::TlsGetValue(index);
}

bool SetSlotValue(const std::atomic<uint32_t>& slot, void* value) {
  uint32_t index = slot.load();
  return index != platform::kInvalidSlot && platform::TlsSetValue(index, value);
}

bool AllocateSlot(std::atomic<uint32_t>& slot) {
  uint32_t index = platform::TlsAlloc();
  slot.store(index);
  return index != platform::kInvalidSlot;
}

bool ReplaceOwned(const std::atomic<uint32_t>& slot, ThreadOwned* value) {
  auto* previous = static_cast<ThreadOwned*>(SlotValue(slot));
  if (previous == value) return true;
  if (!SetSlotValue(slot, value)) return false;
  delete previous;
  return true;
}

}  // namespace

bool AllocateThreadSlots() {
  ThreadSlots& slots = Slots();
  return AllocateSlot(slots.enumeration_cursor) && AllocateSlot(slots.store_index) &&
         AllocateSlot(slots.folder_list) && AllocateSlot(slots.search);
}

void FreeEnumerationCursorSlot() {
  uint32_t index = Slots().enumeration_cursor.exchange(platform::kInvalidSlot);
  if (index != platform::kInvalidSlot) platform::TlsFree(index);
}

uintptr_t EnumerationCursor() {
  return reinterpret_cast<uintptr_t>(SlotValue(Slots().enumeration_cursor));
}

void SetEnumerationCursor(uintptr_t position) {
  SetSlotValue(Slots().enumeration_cursor, reinterpret_cast<void*>(position));
}

STOREINDEXTYPE* ThreadStoreIndexRecord() {
  return static_cast<STOREINDEXTYPE*>(SlotValue(Slots().store_index));
}

bool SetThreadStoreIndexRecord(STOREINDEXTYPE* record) {
  return SetSlotValue(Slots().store_index, record);
}

ThreadOwned* ThreadFolderLists() { return static_cast<ThreadOwned*>(SlotValue(Slots().folder_list)); }

bool SetThreadFolderLists(ThreadOwned* lists) { return ReplaceOwned(Slots().folder_list, lists); }

void FreeThreadFolderLists() { ReplaceOwned(Slots().folder_list, nullptr); }

ThreadOwned* ThreadSearchState() { return static_cast<ThreadOwned*>(SlotValue(Slots().search)); }

bool SetThreadSearchState(ThreadOwned* state) { return ReplaceOwned(Slots().search, state); }

void FreeThreadSearchState() { ReplaceOwned(Slots().search, nullptr); }

}  // namespace qx
