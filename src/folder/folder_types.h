#pragma once
// The types a folder can have (StoreIndex::folder_type). The type decides
// which index files its directory holds (folder/folder_files.h) and how the
// index reads its items (index/folder_type_handlers.h).

#include <cstdint>

namespace qx {

enum FolderType : uint32_t {
  kFolderTypeMail = 0,
  kFolderTypeContacts = 1,
  kFolderTypeCalendar = 2,
  kFolderTypeTasks = 3,
  kFolderTypeFiles = 4,
  kFolderTypeICalendar = 5,
  kFolderTypeGroups = 54,
};

}  // namespace qx
