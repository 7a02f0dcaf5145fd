#pragma once
// What a remote administration host runs for each forwarded folder and
// message enumeration function: the local work, on the records decoded
// from the request. The forwarded-call table (remote/forwarded_calls.cc)
// names these. The host's own process keeps the listings and the
// enumeration, and its serving thread the position.

#include <cstdint>

namespace qx {

uint32_t HostFolderAdd(void* folder, void* unused);
uint32_t HostFolderGet(void* folder, void* unused);
uint32_t HostFolderRemove(void* folder, void* unused);
uint32_t HostFolderEdit(void* old_folder, void* new_folder);
uint32_t HostFolderFindFirst(void* folder, void* unused);
uint32_t HostFolderFindNext(void* folder, void* unused);
uint32_t HostFolderFindClose(void* folder, void* unused);
uint32_t HostMessageItemFindFirst(void* list, void* item);
uint32_t HostMessageItemFindNext(void* list, void* item);
uint32_t HostMessageItemFindClose(void* list, void* unused);
uint32_t HostMessageItemListSetPosition(void* position, void* unused);
uint32_t HostMessageItemListGetLength(void* list, void* unused);
uint32_t HostMessageItemListGetNewLength(void* list, void* unused);
uint32_t HostMessageItemListGetUnReadLength(void* list, void* unused);
uint32_t HostMessagesFindFirst(void* search, void* unused);
uint32_t HostMessagesFindNext(void* search, void* unused);

}  // namespace qx
