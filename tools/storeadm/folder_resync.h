#pragma once
// The rebuild of one folder's index that keeps what only the old index
// knew: a message still there keeps its flags and its UID (unless another
// message of the folder holds that UID already); new files get UIDs above
// every UID handed out before, so no UID is ever used twice.

#include <cstddef>
#include <cstdint>
#include <string>

namespace qx::storeadm {

struct Resynced {
  std::string mailbox;
  std::string folder;
  size_t messages = 0;
  size_t kept = 0;        // flags and UID carried over
  size_t renumbered = 0;  // new files (or a UID held twice), given UIDs above the old ones
  uint32_t last_uid = 0;
};

// Rebuilds the index of `directory`, the folder `folder_text` (as the index
// functions take it) of the mailbox; false with the reason printed.
bool ResyncFolder(const char* postoffice, const char* mailbox, const std::string& folder_text,
                  const std::string& directory, Resynced* result);

}  // namespace qx::storeadm
