#pragma once
// The library's four thread-local slots, allocated at start in this order:
// the enumeration cursor, the thread's STOREINDEXTYPE record, its folder
// lists and its search state. Accessors on a slot that is not allocated
// read as empty and store nothing.

#include <cstdint>

namespace qx {

struct STOREINDEXTYPE;

// Per-thread state that features above the frame keep in a slot (folder
// lists, search state). The frame frees it when the thread releases its
// state or ends, without knowing its type.
class ThreadOwned {
 public:
  virtual ~ThreadOwned() = default;
};

// Allocates the four slots in order; false at the first that cannot be
// allocated (the later ones are then not allocated).
bool AllocateThreadSlots();
// The library's unload frees only the enumeration cursor slot; the others
// are left to process exit.
void FreeEnumerationCursorSlot();

// The last position a legacy enumeration reached on this thread; 0 on a new
// thread.
uintptr_t EnumerationCursor();
void SetEnumerationCursor(uintptr_t position);

// The calling thread's record, or null. Setting does not free a previous
// record; it fails when the slot is not allocated.
STOREINDEXTYPE* ThreadStoreIndexRecord();
bool SetThreadStoreIndexRecord(STOREINDEXTYPE* record);

// The thread's folder lists and search state, or null. Setting takes
// ownership and frees what the slot held before; it returns false, leaving
// ownership with the caller, when the slot is not allocated.
ThreadOwned* ThreadFolderLists();
bool SetThreadFolderLists(ThreadOwned* lists);
void FreeThreadFolderLists();

ThreadOwned* ThreadSearchState();
bool SetThreadSearchState(ThreadOwned* state);
void FreeThreadSearchState();

}  // namespace qx
