// The folder and message enumeration families of the exported interface:
// each call runs on the remote administration host while forwarding is
// active, else here.

#include "legacy/legacy_folders.h"
#include "legacy/message_counts.h"
#include "legacy/message_enumeration.h"
#include "legacy/messages_find.h"
#include "qxstore.h"
#include "remote/forwarding.h"

using qx::ForwardedFunction;

extern "C" {

QXSTORE_API uint32_t FolderAdd(FOLDERRECORD* folder) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kFolderAdd, qx::LocalFolderAdd, folder);
}

QXSTORE_API uint32_t FolderGet(FOLDERRECORD* folder) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kFolderGet, qx::LocalFolderGet, folder);
}

QXSTORE_API uint32_t FolderRemove(FOLDERRECORD* folder) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kFolderRemove, qx::LocalFolderRemove, folder);
}

QXSTORE_API uint32_t FolderEdit(FOLDERRECORD* old_folder, FOLDERRECORD* new_folder) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kFolderEdit, qx::LocalFolderEdit,
                                 old_folder, new_folder);
}

QXSTORE_API uint32_t FolderFindFirst(FOLDERRECORD* folder) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kFolderFindFirst, qx::LocalFolderFindFirst,
                                 folder);
}

QXSTORE_API uint32_t FolderFindNext(FOLDERRECORD* folder) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kFolderFindNext, qx::LocalFolderFindNext,
                                 folder);
}

QXSTORE_API uint32_t FolderFindClose(FOLDERRECORD* folder) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kFolderFindClose, qx::LocalFolderFindClose,
                                 folder);
}

QXSTORE_API uint32_t MessageItemFindFirst(MESSAGELISTRECORD* list, MESSAGEITEMRECORD* item) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kMessageItemFindFirst, qx::LocalMessageItemFindFirst,
                                 list, item);
}

QXSTORE_API uint32_t MessageItemFindNext(MESSAGELISTRECORD* list, MESSAGEITEMRECORD* item) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kMessageItemFindNext, qx::LocalMessageItemFindNext,
                                 list, item);
}

QXSTORE_API uint32_t MessageItemFindClose(MESSAGELISTRECORD* list) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kMessageItemFindClose, qx::LocalMessageItemFindClose,
                                 list);
}

QXSTORE_API uint32_t MessageItemListSetPosition(uint32_t* position) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kMessageItemListSetPosition, qx::LocalMessageItemListSetPosition,
                                 position);
}

QXSTORE_API uint32_t MessageItemListGetLength(MESSAGELISTRECORD* list) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kMessageItemListGetLength, qx::LocalMessageItemListGetLength,
                                 list);
}

QXSTORE_API uint32_t MessageItemListGetNewLength(MESSAGELISTRECORD* list) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kMessageItemListGetNewLength, qx::LocalMessageItemListGetNewLength,
                                 list);
}

QXSTORE_API uint32_t MessageItemListGetUnReadLength(MESSAGELISTRECORD* list) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kMessageItemListGetUnReadLength, qx::LocalMessageItemListGetUnReadLength,
                                 list);
}

QXSTORE_API uint32_t MessagesFindFirst(MESSAGESEARCHRECORD* search) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kMessagesFindFirst, qx::LocalMessagesFindFirst,
                                 search);
}

QXSTORE_API uint32_t MessagesFindNext(MESSAGESEARCHRECORD* search) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kMessagesFindNext, qx::LocalMessagesFindNext,
                                 search);
}

}  // extern "C"
