#include "index/index_sort.h"

#include "index/store_index.h"
#include "platform/diagnostics.h"

namespace qx {

uint32_t DuplicateDOM(StoreIndex* index) {
  if (index == nullptr) {
    platform::DiagPrintf("WARNING!: StoreIndex is NULL when passed to DuplicateDOM\n");
    return 0;
  }
  return 1;
}

uint32_t SortDOM(StoreIndex* index) {
  if (index == nullptr) {
    platform::DiagPrintf("WARNING!: StoreIndex is NULL when passed to SortDOM\n");
    return 0;
  }
  return 1;
}

uint32_t SortStoreIndex(StoreIndex* index) {
  if (index == nullptr) {
    platform::DiagPrintf("WARNING!: StoreIndex is NULL when passed to StoreIndex_Sort\n");
    return 0;
  }
  switch (index->folder_type) {
    case kFolderTypeMail: {
      StoreIndexLock lock(index);
      return SortDOM(index) == 0 ? 0 : 1;
    }
    case kFolderTypeContacts:
    case kFolderTypeCalendar:
    case kFolderTypeGroups:
      return DuplicateDOM(index);
    default:
      return SortDOM(index);
  }
}

}  // namespace qx
