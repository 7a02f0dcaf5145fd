#include "store/mailbox_size.h"

#include <string_view>

#include "common/block_files.h"
#include "frame/settings.h"
#include "frame/store_paths.h"
#include "frame/store_roots.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/listing.h"
#include "platform/walk_guard.h"
#include "store/folder_size.h"
#include "folder/folder_files.h"
#include "folder/folder_size_cache.h"
#include "store/size_settings.h"
#include "store/store_folder_record.h"

namespace qx {

namespace {


bool IsSkippedName(std::string_view name) {
  return name == "." || name == ".." || (!name.empty() && name.front() == '_');
}

class DirectoryWalker {
 public:
  DirectoryWalker(std::string_view root, uint64_t quota_bytes, uint32_t timeout_seconds)
      : guard_(root),
        quota_bytes_(quota_bytes),
        timeout_ms_(static_cast<uint64_t>(timeout_seconds) * 1000),
        started_ms_(platform::TickMilliseconds()) {}

  WalkOutcome Walk(const std::string& directory) {
    platform::Listing listing = platform::Listing::Open(directory + "\\*.*");
    if (!listing.valid()) return WalkOutcome::kFailed;
    // The first entry is the directory itself.
    while (listing.Next()) {
      if (platform::TickMilliseconds() - started_ms_ > timeout_ms_) return WalkOutcome::kTimedOut;
      const platform::FindData& entry = listing.current();
      if (IsSkippedName(entry.name)) continue;
      if ((entry.attributes & platform::kAttributeDirectory) != 0) {
        if (!guard_.MayEnter(entry)) continue;
        WalkOutcome inner = Walk(JoinStorePath(directory, entry.name));
        if (inner != WalkOutcome::kDone) return inner;
        continue;
      }
      if (!guard_.MayRead(JoinStorePath(directory, entry.name), entry)) continue;
      total_bytes_ += entry.size;
      if (quota_bytes_ > 0 && total_bytes_ >= quota_bytes_) return WalkOutcome::kOverQuota;
    }
    return WalkOutcome::kDone;
  }

  uint64_t total_bytes() const { return total_bytes_; }

 private:
  // Links out of the mailbox, and linked directories, are not its size.
  const platform::WalkGuard guard_;
  uint64_t quota_bytes_;
  uint64_t timeout_ms_;
  uint64_t started_ms_;
  uint64_t total_bytes_ = 0;
};

uint64_t FolderIndexBytes(const MAILBOXSIZE& mailbox) {
  STOREFOLDER top{};
  SetRecordText(top.postoffice, RecordText(mailbox.postoffice));
  SetRecordText(top.mailbox, RecordText(mailbox.mailbox));
  SetRecordText(top.parent, "/");
  return FolderTreeSizeBytes(top);
}

// The walk or index sum under the mailbox's block file; kFailed when the
// block is held elsewhere or cannot be removed afterwards.
MailboxWalk ComputeUnderBlock(const MAILBOXSIZE& mailbox, const std::string& directory) {
  MailboxWalk result;
  const std::string block = FolderFilePath(directory, kIndexBlockFileName);
  if (TakeIndexBlock(block.c_str(), false, nullptr) != 1) {
    result.outcome = WalkOutcome::kFailed;
    return result;
  }
  if (Settings().mailbox_size_calc_mode == 1) {
    result.total_bytes = FolderIndexBytes(mailbox);
  } else {
    const uint64_t quota_bytes =
        mailbox.quota_kb > 0 ? static_cast<uint64_t>(mailbox.quota_kb) * 1024 : 0;
    result = WalkMailboxDirectory(directory, quota_bytes, QuotaCalcTimeoutSeconds());
  }
  if (DeleteIndexBlockFile(block.c_str()) != 1) result.outcome = WalkOutcome::kFailed;
  return result;
}

}  // namespace

MailboxWalk WalkMailboxDirectory(const std::string& directory, uint64_t quota_bytes,
                                 uint32_t timeout_seconds) {
  DirectoryWalker walker(directory, quota_bytes, timeout_seconds);
  MailboxWalk result;
  result.outcome = walker.Walk(directory);
  result.total_bytes = walker.total_bytes();
  return result;
}

uint32_t InboxSizeKilobytes(const char* postoffice, const char* mailbox) {
  const std::string mailbox_directory = MailboxDirectory(postoffice, mailbox);
  if (mailbox_directory.empty()) return 0;
  const std::string inbox = mailbox_directory + "\\Inbox";
  if (!IsInsideStore(inbox, postoffice)) return 0;
  if (std::optional<uint32_t> cached = ReadTrustedSizeCache(inbox)) return *cached;
  uint64_t total_bytes = 0;
  for (platform::Listing listing = platform::Listing::Open(inbox + "\\*.MAI"); listing.valid();
       listing.Next()) {
    const platform::FindData& entry = listing.current();
    if (entry.name.empty() || entry.name.front() == '_') continue;
    if ((entry.attributes & platform::kAttributeDirectory) != 0) continue;
    total_bytes += entry.size;
  }
  const uint32_t kilobytes = static_cast<uint32_t>(total_bytes / 1024);
  WriteSizeCache(inbox, kilobytes);
  return kilobytes;
}

bool ComputeWholeMailboxSize(MAILBOXSIZE* mailbox) {
  const std::string postoffice = RecordText(mailbox->postoffice);
  const std::string name = RecordText(mailbox->mailbox);
  const std::string directory = MailboxDirectory(postoffice.c_str(), name.c_str());
  if (directory.empty()) {
    mailbox->size_kb = 0;
    return false;
  }
  if (std::optional<uint32_t> cached = ReadTrustedSizeCache(directory)) {
    mailbox->size_kb = *cached;
    return true;
  }
  const MailboxWalk walk = ComputeUnderBlock(*mailbox, directory);
  if (walk.outcome != WalkOutcome::kDone && walk.outcome != WalkOutcome::kOverQuota) {
    DeleteSizeCache(directory);
    mailbox->size_kb = 0;
    return false;
  }
  mailbox->size_kb = static_cast<uint32_t>(walk.total_bytes >> 10);
  WriteSizeCache(directory, mailbox->size_kb);
  return true;
}

uint32_t GetMailboxSizeLocal(MAILBOXSIZE* mailbox) {
  if (DisabledMailboxQuotaMode() == 0 && mailbox->enabled == 0) return 0;
  switch (QuotaEnumerationMode()) {
    case 0:
    case 2: {
      const std::string postoffice = RecordText(mailbox->postoffice);
      const std::string name = RecordText(mailbox->mailbox);
      mailbox->size_kb = InboxSizeKilobytes(postoffice.c_str(), name.c_str());
      return 0;
    }
    case 1:
    case 3:
      return ComputeWholeMailboxSize(mailbox) ? 1 : 0;
    default:
      return 0;
  }
}

}  // namespace qx
