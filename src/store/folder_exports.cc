// The folder hierarchy family of the exported interface. The functions that
// take a store folder record are forwarded to the remote administration
// host when one is in use (remote/forwarding.h); the rest run here.

#include "qxstore.h"
#include "remote/forwarding.h"
#include "store/folder_add.h"
#include "store/folder_copy.h"
#include "store/folder_dates.h"
#include "store/folder_edit.h"
#include "store/folder_find.h"
#include "store/folder_list.h"
#include "store/folder_remove.h"

namespace {

qx::FolderList* ListOf(TLSFOLDERLIST* list) { return reinterpret_cast<qx::FolderList*>(list); }

}  // namespace

extern "C" {

QXSTORE_API uint32_t StoreFolderAdd(STOREFOLDER* folder) {
  if (folder == nullptr) return 0;
  return qx::ForwardOrRunLocally<"StoreFolderAdd">(qx::AddFolder, folder);
}

QXSTORE_API uint32_t StoreFolderRemove(STOREFOLDER* folder) {
  if (folder == nullptr) return 0;
  return qx::ForwardOrRunLocally<"StoreFolderRemove">(qx::RemoveFolder, folder);
}

QXSTORE_API uint32_t StoreFolderEdit(STOREFOLDER* old_folder, STOREFOLDER* new_folder) {
  if (old_folder == nullptr || new_folder == nullptr) return 0;
  return qx::ForwardOrRunLocally<"StoreFolderEdit">(qx::EditFolder, old_folder, new_folder);
}

QXSTORE_API uint32_t StoreFolderCopy(STOREFOLDER* source, STOREFOLDER* target) {
  if (source == nullptr || target == nullptr) return 0;
  return qx::ForwardOrRunLocally<"StoreFolderCopy">(qx::CopyFolder, source, target);
}

QXSTORE_API uint32_t TLS_StoreFolderFindFirst(STOREFOLDER* folder, TLSFOLDERLIST* list) {
  if (folder == nullptr) return 0;
  if (auto forwarded = qx::ForwardCall<"StoreFolderFindFirst">(folder)) {
    return *forwarded;
  }
  return qx::FindFirstChildFolder(folder, ListOf(list));
}

QXSTORE_API uint32_t TLS_StoreFolderFindNext(STOREFOLDER* folder, TLSFOLDERLIST* list) {
  if (folder == nullptr) return 0;
  if (auto forwarded = qx::ForwardCall<"StoreFolderFindNext">(folder)) {
    return *forwarded;
  }
  return qx::FindNextChildFolder(folder, ListOf(list));
}

QXSTORE_API uint32_t TLS_StoreFolderFindClose(STOREFOLDER* folder, TLSFOLDERLIST* list) {
  if (folder == nullptr) {
    if (list != nullptr) ListOf(list)->Clear();
    return 1;
  }
  if (auto forwarded = qx::ForwardCall<"StoreFolderFindClose">(folder)) {
    return *forwarded;
  }
  return qx::CloseChildFolderFind(*folder, ListOf(list));
}

QXSTORE_API uint32_t StoreFolderFindFirst(STOREFOLDER* folder) {
  return TLS_StoreFolderFindFirst(folder, nullptr);
}

QXSTORE_API uint32_t StoreFolderFindNext(STOREFOLDER* folder) {
  return TLS_StoreFolderFindNext(folder, nullptr);
}

QXSTORE_API uint32_t StoreFolderFindClose(STOREFOLDER* folder) {
  return TLS_StoreFolderFindClose(folder, nullptr);
}

QXSTORE_API uint32_t StoreFolder_ReIndexChildFolders(STOREFOLDER* folder) {
  return folder == nullptr ? 0 : qx::ReIndexChildFolders(*folder);
}

QXSTORE_API uint32_t StoreFolder_GetContentsModificationDate(STOREFOLDER* folder) {
  return folder == nullptr ? 0 : qx::ContentsModificationDate(*folder);
}

QXSTORE_API uint32_t StoreFolder_GetHierarchyModificationDate(STOREFOLDER* folder) {
  return folder == nullptr ? 0 : qx::HierarchyModificationDate(*folder);
}

QXSTORE_API uint32_t CreateTLSFolderList(TLSFOLDERLIST** list) {
  if (list == nullptr) return 0;
  *list = reinterpret_cast<TLSFOLDERLIST*>(new qx::FolderList());
  return 1;
}

QXSTORE_API uint32_t FreeTLSFolderList(TLSFOLDERLIST** list) {
  if (list == nullptr) return 1;
  delete ListOf(*list);
  *list = nullptr;
  return 1;
}

QXSTORE_API uint32_t InitTLSFolderList(TLSFOLDERLIST* list) {
  if (list != nullptr) ListOf(list)->Clear();
  return 1;
}

QXSTORE_API uint32_t UnInitTLSFolderList(TLSFOLDERLIST* list) {
  if (list != nullptr) ListOf(list)->Clear();
  return 1;
}

}  // extern "C"
