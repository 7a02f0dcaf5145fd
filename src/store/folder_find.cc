#include "store/folder_find.h"

#include <string>

#include "store/folder_index_file.h"
#include "store/store_folder_record.h"

namespace qx {

namespace {

bool AtTopLevel(const STOREFOLDER& folder) { return IsTopLevelParent(RecordText(folder.parent)); }

uint32_t HandOut(STOREFOLDER* folder, ChildList* children,
                 std::map<std::string, std::string>::const_iterator next) {
  if (next == children->names.end()) return 0;
  children->position = next->first;
  SetRecordText(folder->name, next->second);
  return 1;
}

}  // namespace

uint32_t FindFirstChildFolder(STOREFOLDER* folder, FolderList* list) {
  const std::string directory = StoreFolderDirectory(*folder);
  if (directory.empty()) return 0;
  FolderList* cache = list != nullptr ? list : ThreadFolderList(directory);
  if (cache == nullptr) return 0;
  ChildList* children = cache->Load(directory, AtTopLevel(*folder));
  if (children == nullptr) return 0;
  children->position.reset();
  return HandOut(folder, children, children->names.begin());
}

uint32_t FindNextChildFolder(STOREFOLDER* folder, FolderList* list) {
  const std::string directory = StoreFolderDirectory(*folder);
  if (directory.empty()) return 0;
  FolderList* cache = list != nullptr ? list : ExistingThreadFolderList(directory);
  ChildList* children = cache != nullptr ? cache->Find(directory) : nullptr;
  if (children == nullptr || !children->position) return 0;
  return HandOut(folder, children, children->names.upper_bound(*children->position));
}

uint32_t CloseChildFolderFind(const STOREFOLDER& folder, FolderList* list) {
  if (list != nullptr) {
    list->Clear();
  } else {
    ForgetThreadFolderList(StoreFolderDirectory(folder));
  }
  return 1;
}

uint32_t ReIndexChildFolders(const STOREFOLDER& folder) {
  const std::string directory = StoreFolderDirectory(folder);
  if (directory.empty()) return 0;
  return RebuildFolderIndex(directory, AtTopLevel(folder)) ? 1 : 0;
}

}  // namespace qx
