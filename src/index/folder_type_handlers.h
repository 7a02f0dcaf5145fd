#pragma once
// Contact and calendar folders are scanned from their own files and keep
// their own documents; that code registers its scan and document functions
// here, by folder type, and the index open, scan and get call them. A type
// without a registered function is left as it is by the scan, and its
// document is loaded from the folder's index file.

#include <cstdint>

#include "qxstore.h"

namespace qx {

// Brings the folder's index document up to date with its files and saves
// it in the folder directory. `mode` is 1, or 99 when the caller holds the
// folder's block file.
using FolderTypeScan = uint32_t (*)(StoreIndex* index, uint32_t mode);
// Makes sure the object holds the folder's document. 1 on success.
using FolderTypeDocument = uint32_t (*)(StoreIndex* index);

struct FolderTypeHandlers {
  FolderTypeScan scan = nullptr;
  FolderTypeDocument document = nullptr;
};

// Registers (or, with empty handlers, withdraws) the functions of a type.
void SetFolderTypeHandlers(uint32_t folder_type, FolderTypeHandlers handlers);
FolderTypeHandlers FolderTypeHandlersFor(uint32_t folder_type);

}  // namespace qx
