#include "legacy/legacy_host_calls.h"

#include "legacy/legacy_folders.h"
#include "legacy/message_counts.h"
#include "legacy/message_enumeration.h"
#include "legacy/messages_find.h"

namespace qx {

namespace {

FOLDERRECORD* Folder(void* parameter) { return static_cast<FOLDERRECORD*>(parameter); }
MESSAGELISTRECORD* List(void* parameter) { return static_cast<MESSAGELISTRECORD*>(parameter); }
MESSAGEITEMRECORD* Item(void* parameter) { return static_cast<MESSAGEITEMRECORD*>(parameter); }
MESSAGESEARCHRECORD* Search(void* parameter) {
  return static_cast<MESSAGESEARCHRECORD*>(parameter);
}

}  // namespace

uint32_t HostFolderAdd(void* folder, void*) { return LocalFolderAdd(Folder(folder)); }
uint32_t HostFolderGet(void* folder, void*) { return LocalFolderGet(Folder(folder)); }
uint32_t HostFolderRemove(void* folder, void*) { return LocalFolderRemove(Folder(folder)); }

uint32_t HostFolderEdit(void* old_folder, void* new_folder) {
  return LocalFolderEdit(Folder(old_folder), Folder(new_folder));
}

uint32_t HostFolderFindFirst(void* folder, void*) { return LocalFolderFindFirst(Folder(folder)); }
uint32_t HostFolderFindNext(void* folder, void*) { return LocalFolderFindNext(Folder(folder)); }
uint32_t HostFolderFindClose(void* folder, void*) { return LocalFolderFindClose(Folder(folder)); }

uint32_t HostMessageItemFindFirst(void* list, void* item) {
  return LocalMessageItemFindFirst(List(list), Item(item));
}

uint32_t HostMessageItemFindNext(void* list, void* item) {
  return LocalMessageItemFindNext(List(list), Item(item));
}

uint32_t HostMessageItemFindClose(void* list, void*) {
  return LocalMessageItemFindClose(List(list));
}

uint32_t HostMessageItemListSetPosition(void* position, void*) {
  return LocalMessageItemListSetPosition(static_cast<uint32_t*>(position));
}

uint32_t HostMessageItemListGetLength(void* list, void*) {
  return LocalMessageItemListGetLength(List(list));
}

uint32_t HostMessageItemListGetNewLength(void* list, void*) {
  return LocalMessageItemListGetNewLength(List(list));
}

uint32_t HostMessageItemListGetUnReadLength(void* list, void*) {
  return LocalMessageItemListGetUnReadLength(List(list));
}

uint32_t HostMessagesFindFirst(void* search, void*) {
  return LocalMessagesFindFirst(Search(search));
}

uint32_t HostMessagesFindNext(void* search, void*) { return LocalMessagesFindNext(Search(search)); }

}  // namespace qx
