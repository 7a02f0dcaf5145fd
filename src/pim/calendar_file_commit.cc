#include "pim/calendar_file_commit.h"

#include <string>
#include <string_view>

#include "common/block_files.h"
#include "platform/durable_replace.h"
#include "platform/file.h"

namespace qx {

namespace {

void SyncDirectoryOf(std::string_view path) {
  if (!platform::SyncsReplacementOf(platform::FileKind::kIndex)) return;
  const size_t separator = path.find_last_of("\\/");
  if (separator == std::string_view::npos) return;
  platform::Directory directory = platform::Directory::Open(path.substr(0, separator));
  if (directory.valid()) directory.Sync();
}

}  // namespace

uint32_t ApplyResourceFile(const char* name, ResourceCommit commit) {
  std::string current = ResourceFilePath(name, ".CAL");
  std::string temporary = ResourceFilePath(name, ".TMP");
  std::string backup = ResourceFilePath(name, ".BAK");
  std::string old = ResourceFilePath(name, ".OLD");
  if (current.empty() || temporary.empty() || backup.empty() || old.empty()) return 0;
  // Without a block the previous backup is the last known good state: keep it.
  if (ResourceBlockExists(name) == 0) platform::CopyFile(backup, old, false);
  platform::CopyFile(current, backup, false);
  uint32_t timeout = BlockTimeoutPolls(kApplyTimeout);
  bool moved = false;
  if (commit == ResourceCommit::kReplace) {
    RetryWhileFailing([&] { return moved = platform::MoveFileEx(temporary, current, true); }, timeout);
  } else {
    RetryWhileFailing([&] { return platform::DeleteFile(current); }, timeout);
  }
  if (!moved) platform::DeleteFile(temporary);
  SyncDirectoryOf(current);
  RemoveResourceBlock(name);
  return 1;
}

}  // namespace qx
