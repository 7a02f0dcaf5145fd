#include "pim/calendar_file_commit.h"

#include <string>

#include "common/block_files.h"
#include "platform/file.h"

namespace qx {

uint32_t ApplyResourceFile(const char* name) {
  std::string current = ResourceFilePath(name, ".CAL");
  std::string temporary = ResourceFilePath(name, ".TMP");
  std::string backup = ResourceFilePath(name, ".BAK");
  std::string old = ResourceFilePath(name, ".OLD");
  if (current.empty() || temporary.empty() || backup.empty() || old.empty()) return 0;
  // Without a block the previous backup is the last known good state: keep it.
  if (ResourceBlockExists(name) == 0) platform::CopyFile(backup, old, false);
  platform::CopyFile(current, backup, false);
  uint32_t timeout = BlockTimeoutPolls(kApplyTimeout);
  RetryWhileFailing([&] { return platform::DeleteFile(current); }, timeout);
  RetryWhileFailing([&] { return platform::MoveFile(temporary, current); }, timeout);
  platform::DeleteFile(temporary);
  RemoveResourceBlock(name);
  return 1;
}

}  // namespace qx
