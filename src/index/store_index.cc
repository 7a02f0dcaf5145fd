#include "index/store_index.h"

#include <cstring>
#include <new>

#include "platform/diagnostics.h"
#include "platform/mutex.h"

namespace qx {

namespace {

platform::MutexHandle MutexOf(const StoreIndex* index) {
  return reinterpret_cast<platform::MutexHandle>(index->mutex);
}

}  // namespace

StoreIndex* CreateStoreIndex() {
  auto* index = new (std::nothrow) StoreIndex;
  if (index != nullptr) InitStoreIndex(index);
  return index;
}

uint32_t InitStoreIndex(StoreIndex* index) {
  if (index == nullptr) {
    platform::DiagPrintf("WARNING!: StoreIndex is NULL when passed to StoreIndex_Init\n");
    return 0;
  }
  std::memset(index, 0, sizeof *index);
  return 1;
}

bool CreateStoreIndexMutex(StoreIndex* index) {
  platform::MutexHandle mutex = platform::CreateMutex();
  index->mutex = reinterpret_cast<uintptr_t>(mutex);
  return mutex != nullptr;
}

void ReleaseIndexDocument(StoreIndex* index) {
  index->index_node = 0;
  delete reinterpret_cast<IndexDocumentHolder*>(index->folder_index);
  index->folder_index = 0;
}

uint32_t ReleaseStoreIndex(StoreIndex* index) {
  if (index == nullptr) return 0;
  ReleaseIndexDocument(index);
  index->index_stamp = 0;
  index->index_file_size = 0;
  if (index->mutex != 0) platform::CloseMutex(MutexOf(index));
  index->mutex = 0;
  return 1;
}

void ClearFolderDirectory(StoreIndex* index) { index->folder_directory[0] = '\0'; }

void DestroyStoreIndex(StoreIndex* index) { delete index; }

}  // namespace qx
