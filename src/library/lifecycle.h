#pragma once
// The library's start and stop, per-thread release, and the notifications
// of the shared object's load, unload and thread end (entry_point.cc wires
// the load and unload; StoreLibraryInit registers the thread-end handler).

#include <cstdint>

namespace qx {

// Reads the library settings and the store's file modes, loads the notifier
// library, allocates the four thread-local slots and creates the registry
// and index mutexes. 0 when a thread-local slot cannot be allocated (the
// remaining steps are skipped), else 1. Calling it again re-reads the
// settings and allocates new slots; records kept in the earlier slots are
// no longer found.
uint32_t StoreLibraryInit();

// Releases the calling thread's loaded index, frees the enumeration cursor
// slot, closes the remote connection, closes the index mutex and frees the
// notifier library. Always 1.
uint32_t StoreLibraryUnInit();

// Always 1; a thread's record is created on first use.
uint32_t ThreadInit();

// Gives up the thread's index hold, frees its record (with its provider
// buffer) and its folder lists. Always 1.
uint32_t ThreadRelease();

// Affinity mode becomes 1 for mode 1, else 0. Always 1.
uint32_t SetAffinity(uint32_t mode);

// Runs on a thread that used the library as it ends. With affinity on it is
// ThreadRelease; with affinity off the record is destroyed without counting
// down its shared index object, which other threads may still hold.
void ThreadDetach();

}  // namespace qx
