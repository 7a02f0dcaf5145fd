#pragma once
// The messages a folder's index holds, as storeadm names them: by file name
// or by UID (a number), the one message reference of cat, flags, rm, mv and
// cp.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qx::storeadm {

struct IndexedMessage {
  std::string file;   // the message file's name in the folder
  uint32_t uid = 0;
  std::string flags;  // FLAGSTATUS
  uint32_t size = 0;  // SIZE
  std::string modified;  // MODIFIEDDATE, the file's stamp when it was indexed
  std::string subject;   // SUBJECT
  std::string date;      // MESSAGEDATE
};

// Every entry of the index file in `folder_dir` (a store path), in index
// order; nullopt when the folder has no index that loads.
std::optional<std::vector<IndexedMessage>> ReadIndexedMessages(const std::string& folder_dir);

// The folder's LASTUID; 0 without an index that loads.
uint32_t ReadLastUid(const std::string& folder_dir);

// True when `reference` is a UID (all digits) rather than a file name.
bool IsUidReference(const std::string& reference);

// The message `reference` names: a UID when it is all digits, else a file
// name. Prints the reason and returns nullopt when the index has no such
// message (or does not load).
std::optional<IndexedMessage> FindIndexedMessage(const std::string& folder_dir,
                                                 const std::string& reference);

}  // namespace qx::storeadm
