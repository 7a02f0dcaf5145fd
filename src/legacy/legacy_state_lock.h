#pragma once
// The process-wide state of the older flat interface: the folder listing,
// the message listing, the legacy index document and the legacy item list.
// Callers have always serialised their use of these; the lock below only
// keeps a caller that does not from corrupting memory, and never changes
// what a serialised caller sees. It is recursive, so a call may run
// another call of the family while holding it.

#include "common/mutex.h"

namespace qx {

class LegacyStateLock {
 public:
  LegacyStateLock();
  LegacyStateLock(const LegacyStateLock&) = delete;
  LegacyStateLock& operator=(const LegacyStateLock&) = delete;

 private:
  MutexLock lock_;
};

}  // namespace qx
