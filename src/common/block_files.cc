#include "common/block_files.h"

#include "common/block_holds.h"
#include "frame/registry_readers.h"
#include "frame/settings.h"
#include "frame/store_paths.h"
#include "platform/clock.h"
#include "platform/diagnostics.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/listing.h"

namespace qx {

namespace {

constexpr uint32_t kPollMilliseconds = 1000;
constexpr uint64_t kTicksPerSecond = 10000000;

bool IsMissingError(uint32_t error) {
  return error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound;
}

platform::File CreateBlockFile(const char* path) {
  return platform::File::Open(path, platform::Access::kWrite, platform::Disposition::kCreateNew,
                              platform::Sharing::kExclusive);
}

// Creates the block file, or breaks a stale one in the way and creates it
// then.
platform::File CreateOrBreakBlockFile(const std::string& path) {
  platform::File block = CreateBlockFile(path.c_str());
  if (block.valid() || platform::GetLastError() != platform::kErrorFileExists) return block;
  if (!BreakStaleBlock(path)) {
    platform::SetLastError(platform::kErrorFileExists);
    return block;
  }
  return CreateBlockFile(path.c_str());
}

bool CreateAndKeepBlockFile(const std::string& path) {
  platform::File block = CreateOrBreakBlockFile(path);
  if (!block.valid()) return false;
  KeepBlockHold(path, std::move(block));
  return true;
}

}  // namespace

uint32_t BlockTimeoutPolls(const BlockTimeout& timeout) {
  return RegistryDwordOr(kBlockTimeoutsKey, timeout.value_name, timeout.default_polls);
}

bool BreakStaleBlock(const std::string& path) {
  const uint64_t grace = BlockTimeoutPolls(kStaleBlockGrace) * kTicksPerSecond;
  const uint64_t now = platform::NowFileTime();
  if (now <= grace || !platform::DeleteFileIfUnheld(path, now - grace)) return false;
  platform::Trace("QX-WXXXX: Warning: broke the stale block file " + path +
                  ", which no process held\n");
  return true;
}

void RetryWhileFailing(const std::function<bool()>& operation, uint32_t timeout) {
  for (uint64_t retries = 0; !operation(); ++retries) {
    if (IsMissingError(platform::GetLastError()) || retries > timeout) return;
    platform::Sleep(kPollMilliseconds);
  }
}

uint32_t TakeIndexBlock(const char* path, bool keep_open, uintptr_t* handle) {
  if (path == nullptr) return 0;
  platform::File block = CreateOrBreakBlockFile(path);
  if (!block.valid()) return 0;
  if (keep_open && handle != nullptr) {
    *handle = block.ReleaseToHandle();
    return 1;
  }
  KeepBlockHold(path, std::move(block));
  if (handle != nullptr) *handle = 0;
  return 1;
}

uint32_t ReleaseIndexBlock(const char* path, bool close_handle, uintptr_t* handle) {
  if (close_handle) {
    bool closed = false;
    if (handle != nullptr && *handle != 0) {
      platform::File held = platform::File::FromHandle(*handle);
      // Deleted while still held: no other process can hold it meanwhile.
      if (path != nullptr && platform::DeleteHeldFile(&held, path)) {
        *handle = 0;
        return 1;
      }
      closed = held.Close();
    } else {
      platform::SetLastError(platform::kErrorInvalidHandle);
    }
    if (!closed) {
      platform::DiagPrintf("An error occured closing the handle of a block file: %ld\n",
                           static_cast<long>(platform::GetLastError()));
    }
    if (handle != nullptr) *handle = 0;
  }
  return DeleteIndexBlockFile(path);
}

uint32_t DeleteIndexBlockFile(const char* path) {
  if (path == nullptr) return 0;
  uint32_t deleted = platform::DeleteFile(path) ? 1 : 0;
  for (int retries = 0; deleted == 0;) {
    if (IsMissingError(platform::GetLastError())) break;
    platform::Sleep(kPollMilliseconds);
    if (++retries > kIndexBlockDeleteRetries) break;
    deleted = platform::DeleteFile(path) ? 1 : 0;
  }
  DropBlockHold(path);
  return deleted;
}

std::string ResourceFilePath(const char* name, const char* extension) {
  if (name == nullptr) return std::string();
  return JoinStorePathWithin(Settings().block_base, std::string(name) + extension, kStorePathSize);
}

std::string ResourceBlockPath(const char* name) { return ResourceFilePath(name, ".BLK"); }

uint32_t TakeResourceBlock(const char* name) {
  std::string path = ResourceBlockPath(name);
  if (path.empty()) return 0;
  if (CreateAndKeepBlockFile(path)) return 1;
  uint32_t timeout = BlockTimeoutPolls(kWriteWaitTimeout);
  for (uint64_t polls = 0;;) {
    platform::Sleep(kPollMilliseconds);
    if (++polls > timeout) break;
    if (CreateAndKeepBlockFile(path)) return 1;
  }
  if (RemoveResourceBlock(name) == 0) return 0;
  CreateAndKeepBlockFile(path);
  return 1;
}

uint32_t RemoveResourceBlock(const char* name) {
  std::string path = ResourceBlockPath(name);
  if (path.empty()) return 0;
  uint32_t removed = platform::DeleteFile(path) ? 1 : 0;
  uint32_t timeout = BlockTimeoutPolls(kUnBlockTimeout);
  for (uint64_t retries = 0; removed == 0;) {
    if (IsMissingError(platform::GetLastError())) break;
    platform::Sleep(kPollMilliseconds);
    if (++retries > timeout) {
      platform::DiagPrintf("Unable to remove blocking file %s\n", path.c_str());
      break;
    }
    removed = platform::DeleteFile(path) ? 1 : 0;
  }
  DropBlockHold(path);
  return removed;
}

uint32_t ResourceBlockExists(const char* name) {
  std::string path = ResourceBlockPath(name);
  platform::FindData found;
  return !path.empty() && platform::FindFirst(path, &found) ? 1 : 0;
}

uint32_t WaitForResourceUnblock(const char* name) {
  bool broken = false;
  uint64_t polls = 0;
  const std::string path = ResourceBlockPath(name);
  while (ResourceBlockExists(name) != 0) {
    if (BreakStaleBlock(path)) {
      broken = true;
      continue;
    }
    platform::Sleep(kPollMilliseconds);
    if (++polls <= BlockTimeoutPolls(kReadWaitTimeout)) continue;
    // A block that cannot even be forced away would keep this wait alive
    // for ever; give up instead.
    if (RemoveResourceBlock(name) == 0) return 0;
    broken = true;
    polls = 0;
  }
  return broken ? 0 : 1;
}

}  // namespace qx
