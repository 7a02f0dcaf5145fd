#pragma once
// The one object of a kind that a process keeps for its whole life, made
// safe across fork: its mutex is held while the process forks, so the child
// never inherits it locked by a thread it does not have, and the child
// starts the object over (threads and descriptors of the parent are not its).

#include <pthread.h>

namespace qx::platform {

// The single `T` of this process, made on first use and never destroyed, so
// that it stays usable while the process exits. `T` keeps a `std::mutex
// mutex_` guarding its state and a `StartOverInChild()` that resets that
// state and unlocks `mutex_`; it names this function a friend when those are
// private.
template <class T>
T& ForkSafeInstance() {
  static T* const instance = [] {
    auto* made = new T;
    ::pthread_atfork([] { ForkSafeInstance<T>().mutex_.lock(); },
                     [] { ForkSafeInstance<T>().mutex_.unlock(); },
                     [] { ForkSafeInstance<T>().StartOverInChild(); });
    return made;
  }();
  return *instance;
}

}  // namespace qx::platform
