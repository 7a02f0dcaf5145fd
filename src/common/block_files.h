#pragma once
// Block files: the store's only lock across processes. A block file is an
// empty file created only if absent; whoever creates it holds the resource
// and deleting it releases the resource. A holder may keep the creating
// handle open, which also stops other processes from opening or deleting
// the file (they see a sharing violation, 32) until it is closed.
//
// Index blocks (the index block file of a folder directory, named in
// folder/folder_files.h) are taken once, with no wait, and released with a
// fixed retry. Resource blocks ("<name>.BLK" under the mail root) wait with
// time-outs from the registry and break a block that outlives them, on the
// assumption that its owner died. Every wait is a one-second sleep on the
// layer's clock.
//
// A process of this store holds every block it takes locked (platform
// file.h) for as long as it holds the block, also when the caller asked for
// the handle to be closed at once: the lock then stays with the process,
// shared, so that others may still delete the file as before. A block file
// that nobody holds locked was left by a process that died (or by a writer
// that does not lock); once it is older than the grace period below, whoever
// finds it in the way breaks it at once instead of waiting out a time-out
// that index blocks never had. A block a live process holds is never broken
// before its time-out.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace qx {

// The key of the resource-block time-outs below HKEY_LOCAL_MACHINE. Unlike
// the library's other settings it has no "Wow6432Node" part.
inline constexpr const char* kBlockTimeoutsKey = "SOFTWARE\\Tal Mera\\Tal Mera\\Providers";

// A time-out in one-second polls, read from the registry on every use.
struct BlockTimeout {
  const char* value_name;
  uint32_t default_polls;
};
inline constexpr BlockTimeout kReadWaitTimeout{"Read Wait Timeout", 60};
inline constexpr BlockTimeout kApplyTimeout{"Apply Timeout", 20};
inline constexpr BlockTimeout kWriteWaitTimeout{"Write Wait Timeout", 80};
inline constexpr BlockTimeout kUnBlockTimeout{"UnBlock Timeout", 80};

// The registry value, or the default when it cannot be read.
uint32_t BlockTimeoutPolls(const BlockTimeout& timeout);

// How old, in seconds, a block file that nobody holds locked must be before
// it is broken: the time a writer that creates block files without the lock
// is given to finish. Read on every use, under the key of the time-outs.
inline constexpr BlockTimeout kStaleBlockGrace{"Stale Block Grace", 10};

// Deletes the block file at `path` when it is stale: nobody holds it locked
// and it was created at least the grace period ago (by the layer's clock).
// True when this call deleted it; a trace line names it.
bool BreakStaleBlock(const std::string& path);

// Repeats `operation` once a second while it fails, giving up at once when
// the failure (the last error it leaves) is "not found", and after `timeout`
// retries otherwise.
void RetryWhileFailing(const std::function<bool()>& operation, uint32_t timeout);

// How many times releasing an index block retries a failed delete.
inline constexpr int kIndexBlockDeleteRetries = 80;

// One attempt to create the index block file `path` (after breaking it,
// when a stale one is in the way). 1 when created: with keep_open the open
// handle (never 0) goes to *handle and holds the file; otherwise (or when
// `handle` is null) *handle, if given, becomes 0 and the process keeps the
// file locked until DeleteIndexBlockFile. 0 when the file exists or cannot
// be created (for example a missing directory); *handle is then not
// written. Never waits.
uint32_t TakeIndexBlock(const char* path, bool keep_open, uintptr_t* handle);

// With close_handle, closes the handle in *handle first (a failure is
// printed with the system error code and forgotten) and sets it to 0; then
// DeleteIndexBlockFile(path).
uint32_t ReleaseIndexBlock(const char* path, bool close_handle, uintptr_t* handle);

// Deletes an index block file, retrying once a second while the delete
// fails for a reason other than "not found", at most 80 retries (81
// attempts). 1 when deleted; 0 when the file or its directory is missing
// (at once, without sleeping) or the retries ran out. Either way this
// process no longer holds the block.
uint32_t DeleteIndexBlockFile(const char* path);

// "%s\\%s<extension>" of the block base (the mail root) and a resource
// name relative to it: the files of a resource, its block file among them.
// Empty when longer than 1023 bytes, or for a null name.
std::string ResourceFilePath(const char* name, const char* extension);

// The resource's block file, ResourceFilePath(name, ".BLK"). The resource
// functions below fail (0) for a name too long for it, except
// WaitForResourceUnblock, for which no block can exist.
std::string ResourceBlockPath(const char* name);

// Creates the resource's block file, polling once a second while it exists
// (a stale block is broken at once). After "Write Wait Timeout" + 1 polls
// the block is taken to be stale anyway: it is removed (0 when that fails)
// and created once more, and the result is 1 even when that last create
// fails. The process holds the block locked until RemoveResourceBlock.
uint32_t TakeResourceBlock(const char* name);

// Deletes the resource's block file, retrying once a second up to "UnBlock
// Timeout" retries (then printed). 1 when deleted, 0 when missing or stuck.
// Either way this process no longer holds the block.
uint32_t RemoveResourceBlock(const char* name);

// 1 when a listing of the block file finds it, evaluated on each call.
uint32_t ResourceBlockExists(const char* name);

// Waits, polling once a second, until the resource's block file is gone.
// 1 when it went away by itself. A stale block is broken at once, and one
// that outlives "Read Wait Timeout" polls is broken with
// RemoveResourceBlock; the wait goes on and the result is then 0. When the
// forced removal fails the wait ends at once with 0. The waiter never takes
// the block.
uint32_t WaitForResourceUnblock(const char* name);

}  // namespace qx
