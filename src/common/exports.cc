// The exported block-file functions: thin wrappers over common/block_files.h.

#include "common/block_files.h"
#include "qxstore.h"

extern "C" {

uint32_t WaitForAccessToIndexFileEx(const char* path, uint32_t keep_open, uintptr_t* handle) {
  return qx::TakeIndexBlock(path, keep_open != 0, handle);
}

uint32_t UnBlockIndexFileAccessEx(const char* path, uint32_t close_handle, uintptr_t* handle) {
  return qx::ReleaseIndexBlock(path, close_handle == 1, handle);
}

}  // extern "C"
