// The folder and message enumeration families of the exported interface:
// each call runs on the remote administration host while forwarding is
// active, else here.

#include "legacy/legacy_folders.h"
#include "legacy/message_counts.h"
#include "legacy/message_enumeration.h"
#include "legacy/messages_find.h"
#include "qxstore.h"
#include "remote/forwarding.h"

using qx::ForwardCall;
using qx::ForwardedFunction;

extern "C" {

QXSTORE_API uint32_t FolderAdd(FOLDERRECORD* folder) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kFolderAdd, folder)) return *forwarded;
  return qx::LocalFolderAdd(folder);
}

QXSTORE_API uint32_t FolderGet(FOLDERRECORD* folder) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kFolderGet, folder)) return *forwarded;
  return qx::LocalFolderGet(folder);
}

QXSTORE_API uint32_t FolderRemove(FOLDERRECORD* folder) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kFolderRemove, folder)) return *forwarded;
  return qx::LocalFolderRemove(folder);
}

QXSTORE_API uint32_t FolderEdit(FOLDERRECORD* old_folder, FOLDERRECORD* new_folder) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kFolderEdit, old_folder, new_folder)) {
    return *forwarded;
  }
  return qx::LocalFolderEdit(old_folder, new_folder);
}

QXSTORE_API uint32_t FolderFindFirst(FOLDERRECORD* folder) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kFolderFindFirst, folder)) return *forwarded;
  return qx::LocalFolderFindFirst(folder);
}

QXSTORE_API uint32_t FolderFindNext(FOLDERRECORD* folder) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kFolderFindNext, folder)) return *forwarded;
  return qx::LocalFolderFindNext(folder);
}

QXSTORE_API uint32_t FolderFindClose(FOLDERRECORD* folder) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kFolderFindClose, folder)) return *forwarded;
  return qx::LocalFolderFindClose(folder);
}

QXSTORE_API uint32_t MessageItemFindFirst(MESSAGELISTRECORD* list, MESSAGEITEMRECORD* item) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kMessageItemFindFirst, list, item)) {
    return *forwarded;
  }
  return qx::LocalMessageItemFindFirst(list, item);
}

QXSTORE_API uint32_t MessageItemFindNext(MESSAGELISTRECORD* list, MESSAGEITEMRECORD* item) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kMessageItemFindNext, list, item)) {
    return *forwarded;
  }
  return qx::LocalMessageItemFindNext(list, item);
}

QXSTORE_API uint32_t MessageItemFindClose(MESSAGELISTRECORD* list) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kMessageItemFindClose, list)) {
    return *forwarded;
  }
  return qx::LocalMessageItemFindClose(list);
}

QXSTORE_API uint32_t MessageItemListSetPosition(uint32_t* position) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kMessageItemListSetPosition, position)) {
    return *forwarded;
  }
  return qx::LocalMessageItemListSetPosition(position);
}

QXSTORE_API uint32_t MessageItemListGetLength(MESSAGELISTRECORD* list) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kMessageItemListGetLength, list)) {
    return *forwarded;
  }
  return qx::LocalMessageItemListGetLength(list);
}

QXSTORE_API uint32_t MessageItemListGetNewLength(MESSAGELISTRECORD* list) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kMessageItemListGetNewLength, list)) {
    return *forwarded;
  }
  return qx::LocalMessageItemListGetNewLength(list);
}

QXSTORE_API uint32_t MessageItemListGetUnReadLength(MESSAGELISTRECORD* list) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kMessageItemListGetUnReadLength, list)) {
    return *forwarded;
  }
  return qx::LocalMessageItemListGetUnReadLength(list);
}

QXSTORE_API uint32_t MessagesFindFirst(MESSAGESEARCHRECORD* search) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kMessagesFindFirst, search)) {
    return *forwarded;
  }
  return qx::LocalMessagesFindFirst(search);
}

QXSTORE_API uint32_t MessagesFindNext(MESSAGESEARCHRECORD* search) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kMessagesFindNext, search)) {
    return *forwarded;
  }
  return qx::LocalMessagesFindNext(search);
}

}  // extern "C"
