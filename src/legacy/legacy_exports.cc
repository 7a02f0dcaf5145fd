// The folder and message enumeration families of the exported interface:
// each call runs on the remote administration host while forwarding is
// active, else here.

#include "legacy/legacy_folders.h"
#include "legacy/message_counts.h"
#include "legacy/message_enumeration.h"
#include "legacy/messages_find.h"
#include "qxstore.h"
#include "remote/forwarding.h"

extern "C" {

QXSTORE_API uint32_t FolderAdd(FOLDERRECORD* folder) {
  return qx::ForwardOrRunLocally<"FolderAdd">(qx::LocalFolderAdd, folder);
}

QXSTORE_API uint32_t FolderGet(FOLDERRECORD* folder) {
  return qx::ForwardOrRunLocally<"FolderGet">(qx::LocalFolderGet, folder);
}

QXSTORE_API uint32_t FolderRemove(FOLDERRECORD* folder) {
  return qx::ForwardOrRunLocally<"FolderRemove">(qx::LocalFolderRemove, folder);
}

QXSTORE_API uint32_t FolderEdit(FOLDERRECORD* old_folder, FOLDERRECORD* new_folder) {
  return qx::ForwardOrRunLocally<"FolderEdit">(qx::LocalFolderEdit, old_folder, new_folder);
}

QXSTORE_API uint32_t FolderFindFirst(FOLDERRECORD* folder) {
  return qx::ForwardOrRunLocally<"FolderFindFirst">(qx::LocalFolderFindFirst, folder);
}

QXSTORE_API uint32_t FolderFindNext(FOLDERRECORD* folder) {
  return qx::ForwardOrRunLocally<"FolderFindNext">(qx::LocalFolderFindNext, folder);
}

QXSTORE_API uint32_t FolderFindClose(FOLDERRECORD* folder) {
  return qx::ForwardOrRunLocally<"FolderFindClose">(qx::LocalFolderFindClose, folder);
}

QXSTORE_API uint32_t MessageItemFindFirst(MESSAGELISTRECORD* list, MESSAGEITEMRECORD* item) {
  return qx::ForwardOrRunLocally<"MessageItemFindFirst">(qx::LocalMessageItemFindFirst, list, item);
}

QXSTORE_API uint32_t MessageItemFindNext(MESSAGELISTRECORD* list, MESSAGEITEMRECORD* item) {
  return qx::ForwardOrRunLocally<"MessageItemFindNext">(qx::LocalMessageItemFindNext, list, item);
}

QXSTORE_API uint32_t MessageItemFindClose(MESSAGELISTRECORD* list) {
  return qx::ForwardOrRunLocally<"MessageItemFindClose">(qx::LocalMessageItemFindClose, list);
}

QXSTORE_API uint32_t MessageItemListSetPosition(uint32_t* position) {
  return qx::ForwardOrRunLocally<"MessageItemListSetPosition">(qx::LocalMessageItemListSetPosition,
                                                               position);
}

QXSTORE_API uint32_t MessageItemListGetLength(MESSAGELISTRECORD* list) {
  return qx::ForwardOrRunLocally<"MessageItemListGetLength">(qx::LocalMessageItemListGetLength,
                                                             list);
}

QXSTORE_API uint32_t MessageItemListGetNewLength(MESSAGELISTRECORD* list) {
  return qx::ForwardOrRunLocally<"MessageItemListGetNewLength">(
      qx::LocalMessageItemListGetNewLength, list);
}

QXSTORE_API uint32_t MessageItemListGetUnReadLength(MESSAGELISTRECORD* list) {
  return qx::ForwardOrRunLocally<"MessageItemListGetUnReadLength">(
      qx::LocalMessageItemListGetUnReadLength, list);
}

QXSTORE_API uint32_t MessagesFindFirst(MESSAGESEARCHRECORD* search) {
  return qx::ForwardOrRunLocally<"MessagesFindFirst">(qx::LocalMessagesFindFirst, search);
}

QXSTORE_API uint32_t MessagesFindNext(MESSAGESEARCHRECORD* search) {
  return qx::ForwardOrRunLocally<"MessagesFindNext">(qx::LocalMessagesFindNext, search);
}

}  // extern "C"
