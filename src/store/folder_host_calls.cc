#include "store/folder_host_calls.h"

#include "qxstore.h"
#include "store/folder_add.h"
#include "store/folder_copy.h"
#include "store/folder_edit.h"
#include "store/folder_find.h"
#include "store/folder_remove.h"

namespace qx {

namespace {

STOREFOLDER* Record(void* parameter) { return static_cast<STOREFOLDER*>(parameter); }

}  // namespace

uint32_t HostStoreFolderAdd(void* folder, void*) { return AddFolder(Record(folder)); }

uint32_t HostStoreFolderRemove(void* folder, void*) { return RemoveFolder(Record(folder)); }

uint32_t HostStoreFolderEdit(void* old_folder, void* new_folder) {
  return EditFolder(Record(old_folder), Record(new_folder));
}

uint32_t HostStoreFolderCopy(void* source, void* target) {
  return CopyFolder(Record(source), Record(target));
}

uint32_t HostStoreFolderFindFirst(void* folder, void*) {
  return FindFirstChildFolder(Record(folder), nullptr);
}

uint32_t HostStoreFolderFindNext(void* folder, void*) {
  return FindNextChildFolder(Record(folder), nullptr);
}

uint32_t HostStoreFolderFindClose(void* folder, void*) {
  return CloseChildFolderFind(*Record(folder), nullptr);
}

}  // namespace qx
