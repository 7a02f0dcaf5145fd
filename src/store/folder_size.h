#pragma once
// Folder sizes from the folder indexes: the sum of the entries' SIZE fields
// of a folder and of every folder below it.

#include <cstdint>

#include "qxstore.h"

namespace qx {

// The bytes the index "_index.xml" of `folder_directory` records, summed by
// the size stylesheet; 0 when the index is missing or unreadable.
uint64_t IndexSizeBytes(const char* folder_directory);

// The bytes of the folder the record's parent path names and of all folders
// below it. Each folder with a small index that is marked changed is
// rescanned first, so the sum counts its files as they are now.
uint64_t FolderTreeSizeBytes(const STOREFOLDER& folder);

// StoreFolderGetSize: the record's size field receives FolderTreeSizeBytes
// (held to 32 bits). 1, or 0 with size 0 when the record's names lead out
// of the store (store_paths.h).
uint32_t GetStoreFolderSize(STOREFOLDER* folder);

}  // namespace qx
