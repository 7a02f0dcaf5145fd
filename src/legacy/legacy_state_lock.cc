#include "legacy/legacy_state_lock.h"

namespace qx {

namespace {

// Never destroyed: a late call during process exit must still find it.
platform::MutexHandle LegacyStateMutex() {
  static Mutex* mutex = new Mutex();
  return mutex->handle();
}

}  // namespace

LegacyStateLock::LegacyStateLock() : lock_(LegacyStateMutex()) {}

}  // namespace qx
