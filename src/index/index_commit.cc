#include "index/index_commit.h"

#include <string>

#include "index/folder_status.h"
#include "index/index_save.h"
#include "index/store_index.h"
#include "platform/diagnostics.h"

namespace qx {

uint32_t CommitStoreIndex(StoreIndex* index) {
  if (index == nullptr) {
    platform::DiagPrintf("WARNING!: StoreIndex is NULL when passed to StoreIndex_Commit\n");
    return 0;
  }
  if (index->modified != 1) return 1;
  if (index->folder_directory[0] == '\0') {
    platform::DiagPrintf("WARNING!: StoreIndex Folder has not been set. Commit is ignored\n");
    return 0;
  }
  StoreIndexLock lock(index);
  SaveHeldIndex(index, kSavePlain, kSaveTakesBlock);
  ComputeFolderStatus(HeldDocument(index), index->folder_status);
  SetCachedStatus(index->postoffice, index->mailbox, index->folder, index->folder_status);
  platform::Trace(std::string("StoreIndex_Commit::Committed Index for folder ") +
                  index->folder_directory + "\n");
  return 1;
}

}  // namespace qx
