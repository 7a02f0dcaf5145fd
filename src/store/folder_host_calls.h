#pragma once
// What a remote administration host runs for each forwarded folder
// function: the local work, on the records decoded from the request. The
// forwarded-call table (remote/forwarded_calls.cc) names these. The
// enumeration runs with the host thread's own folder lists.

#include <cstdint>

namespace qx {

uint32_t HostStoreFolderAdd(void* folder, void* unused);
uint32_t HostStoreFolderRemove(void* folder, void* unused);
uint32_t HostStoreFolderEdit(void* old_folder, void* new_folder);
uint32_t HostStoreFolderCopy(void* source, void* target);
uint32_t HostStoreFolderFindFirst(void* folder, void* unused);
uint32_t HostStoreFolderFindNext(void* folder, void* unused);
uint32_t HostStoreFolderFindClose(void* folder, void* unused);

}  // namespace qx
