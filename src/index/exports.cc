// The index family of the exported interface: open, scan, save, release and
// sort, and the folder status cached beside an index.

#include "index/folder_status.h"
#include "index/index_open.h"
#include "index/index_save.h"
#include "index/index_scan.h"
#include "index/index_sort.h"
#include "index/store_index.h"
#include "qxstore.h"

extern "C" {

QXSTORE_API uint32_t StoreIndex_Init(StoreIndex* index) { return qx::InitStoreIndex(index); }

QXSTORE_API uint32_t StoreIndex_SetPaths(StoreIndex* index) { return qx::SetStoreIndexPaths(index); }

QXSTORE_API uint32_t StoreIndex_Open(StoreIndex* index, uint32_t mode) {
  return qx::OpenStoreIndex(index, mode);
}

QXSTORE_API uint32_t StoreIndex_Get(StoreIndex* index) { return qx::GetStoreIndex(index); }

QXSTORE_API uint32_t StoreIndex_Scan(StoreIndex* index) { return qx::ScanStoreIndex(index); }

QXSTORE_API uint32_t StoreIndex_Release(StoreIndex* index) { return qx::ReleaseStoreIndex(index); }

QXSTORE_API uint32_t ScanFolders(char* folder_directory, uint8_t create_new, uint8_t clear_recent) {
  return qx::ScanFolders(folder_directory, create_new != 0, clear_recent != 0);
}

QXSTORE_API uint32_t StoreIndex_Sort(StoreIndex* index) { return qx::SortStoreIndex(index); }

QXSTORE_API uint32_t StoreIndex_Save(StoreIndex* index, uint32_t mode) {
  return qx::StoreIndexSave(index, mode);
}

QXSTORE_API uint32_t GetCachedStatus(const char* postoffice, const char* mailbox,
                                     const char* folder, void* record) {
  return qx::GetCachedStatus(postoffice, mailbox, folder, record);
}

QXSTORE_API uint32_t SetCachedStatus(const char* postoffice, const char* mailbox,
                                     const char* folder, void* record) {
  return qx::SetCachedStatus(postoffice, mailbox, folder, record);
}

}  // extern "C"
