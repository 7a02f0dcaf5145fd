#pragma once
// The lock of a mailbox's activity file: "_activity.blk" beside it, created
// exclusively and held open for as long as the lock is held. Every process
// that reads or rewrites the activity file (this library and the services
// that add and remove entries) takes it first.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file.h"

namespace qx {

// The registry key and value of the number of one-second attempts to take
// the lock before it is broken, and its default.
inline constexpr const char* kNotificationSettingsKey =
    "SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera\\Providers";
inline constexpr const char* kNotificationWaitTimeoutValue = "Store Notification Wait Timeout";
inline constexpr uint32_t kDefaultNotificationWaitTimeout = 100;

// "Store Notification Wait Timeout", read from the registry once per process.
uint32_t NotificationWaitTimeout();
// Forgets the value read, so the next use reads the registry again (for
// hosts and tests that change it).
void ReloadNotificationSettings();

// Deletes a lock file, retrying once a second while the delete fails for a
// reason other than "file not found" (2) or "path not found" (3), at most
// 80 retries. True when deleted; otherwise the last error says why.
bool DeleteActivityBlock(const std::string& path);

// A held activity lock; releases it on destruction.
class ActivityLock {
 public:
  // Takes the lock of the activity file in `activity_directory`. Each
  // failed attempt waits one second (on the platform clock); a missing
  // directory fails at once; a stale lock file (common/block_files.h) is
  // broken at once. After more than NotificationWaitTimeout()
  // attempts the lock file is taken to be stale and deleted (with the
  // retries of DeleteActivityBlock) and created once more. When it had
  // vanished meanwhile the count starts again; when it cannot be deleted
  // (its holder still has it open) the take fails. Check held().
  explicit ActivityLock(std::string_view activity_directory);
  ~ActivityLock();
  ActivityLock(const ActivityLock&) = delete;
  ActivityLock& operator=(const ActivityLock&) = delete;

  bool held() const { return block_.valid(); }

  // Deletes the lock file and closes the handle; prints "Unable to remove
  // blocking file" when it cannot be deleted. Returns whether it was; false
  // (and nothing touched) when the lock is not held.
  bool Release();

 private:
  bool Take();

  std::string path_;
  platform::File block_;
};

}  // namespace qx
