#pragma once
// Mailbox sizes for quota checks: the Inbox alone or the whole mailbox,
// from a fresh "_DIRSIZE.TMP" or computed anew and cached there.

#include <cstdint>
#include <string>

#include "qxstore.h"

namespace qx {

// How a whole-mailbox directory walk ended.
enum class WalkOutcome {
  kDone,       // every listing ended normally
  kOverQuota,  // the total reached the quota and the walk stopped early
  kTimedOut,   // "Quota Calc Timeout" passed
  kFailed,     // a directory could not be listed
};

struct MailboxWalk {
  uint64_t total_bytes = 0;
  WalkOutcome outcome = WalkOutcome::kDone;
};

// Adds up the files below `directory`, skipping the first entry of each
// listing, "." and "..", and every name that begins with '_'. Stops once
// `quota_bytes` (0: no limit) is reached or `timeout_seconds` have passed.
// Linked directories, and linked files outside `directory`, are not counted
// (platform/walk_guard.h).
MailboxWalk WalkMailboxDirectory(const std::string& directory, uint64_t quota_bytes,
                                 uint32_t timeout_seconds);

// The Inbox's size in KB from its cache or from its "*.MAI" files (names
// beginning with '_' left out), written back to the cache.
uint32_t InboxSizeKilobytes(const char* postoffice, const char* mailbox);

// The whole mailbox's size in KB into mailbox->size_kb: from a trusted cache,
// or computed under the mailbox's "_index.blk" (from the folder indexes with
// "Mailbox Size Calc Mode" 1, else by a directory walk that stops at the
// quota) and cached. True when a size was found; otherwise the size is 0 and
// the cache file is deleted. When another process holds the block file, no
// size is computed and its block file is left alone.
bool ComputeWholeMailboxSize(MAILBOXSIZE* mailbox);

// GetMailboxSize: the disabled check, then the enumeration mode.
uint32_t GetMailboxSizeLocal(MAILBOXSIZE* mailbox);

}  // namespace qx
