#include "folder/activity_lock.h"

#include <atomic>

#include "common/block_files.h"
#include "frame/registry_readers.h"
#include "platform/clock.h"
#include "platform/diagnostics.h"
#include "platform/errors.h"
#include "folder/activity_file.h"
#include "folder/folder_files.h"

namespace qx {

namespace {

constexpr uint32_t kPollMilliseconds = 1000;
constexpr int kDeleteRetries = 80;

// -1 until the registry has been read.
std::atomic<int64_t> g_wait_timeout{-1};

platform::File CreateBlock(const std::string& path) {
  return platform::File::Open(path, platform::Access::kWrite, platform::Disposition::kCreateNew,
                              platform::Sharing::kExclusive);
}

void TraceLockVanished(const std::string& path) {
  std::string line = "QX-WXXXX: Warning: Unblocking activity file (" + path +
                     ") succeeded with non-fatal errors... trying to get block again.\n";
  platform::Trace(line);
}

}  // namespace

uint32_t NotificationWaitTimeout() {
  int64_t cached = g_wait_timeout.load();
  if (cached >= 0) return static_cast<uint32_t>(cached);
  uint32_t value = RegistryDwordOr(kNotificationSettingsKey, kNotificationWaitTimeoutValue,
                                   kDefaultNotificationWaitTimeout);
  g_wait_timeout.store(value);
  return value;
}

void ReloadNotificationSettings() { g_wait_timeout.store(-1); }

bool DeleteActivityBlock(const std::string& path) {
  for (int retries = 0;; ++retries) {
    if (platform::DeleteFile(path)) return true;
    uint32_t error = platform::GetLastError();
    if (error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound) {
      return false;
    }
    if (retries >= kDeleteRetries) return false;
    platform::Sleep(kPollMilliseconds);
  }
}

ActivityLock::ActivityLock(std::string_view activity_directory)
    : path_(FolderFilePath(activity_directory, kActivityBlockFileName)) {
  Take();
}

ActivityLock::~ActivityLock() {
  if (held()) Release();
}

bool ActivityLock::Take() {
  const uint32_t timeout = NotificationWaitTimeout();
  uint32_t attempts = 0;
  for (;;) {
    block_ = CreateBlock(path_);
    if (block_.valid()) return true;
    const uint32_t error = platform::GetLastError();
    if (error == platform::kErrorPathNotFound) return false;
    if (error == platform::kErrorFileExists && BreakStaleBlock(path_)) continue;
    if (++attempts <= timeout) {
      platform::Sleep(kPollMilliseconds);
      continue;
    }
    // The holder is taken to have died. A holder still alive keeps the file
    // open, so the delete fails and the take fails with it.
    if (DeleteActivityBlock(path_)) {
      block_ = CreateBlock(path_);
      if (block_.valid()) return true;
    } else if (platform::GetLastError() == platform::kErrorFileNotFound) {
      TraceLockVanished(path_);
    } else {
      return false;
    }
    // Someone else released or took it meanwhile: wait for it afresh.
    attempts = 0;
  }
}

bool ActivityLock::Release() {
  if (!held()) return false;
  // Deleted while still held, so that no waiter finds it unheld meanwhile
  // and breaks it.
  if (platform::DeleteHeldFile(&block_, path_)) return true;
  block_.Close();
  block_ = platform::File();
  if (DeleteActivityBlock(path_)) return true;
  platform::DiagPrintf("Unable to remove blocking file");
  return false;
}

}  // namespace qx
