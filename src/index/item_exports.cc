// The item family of the exported interface: entries of a held index, the
// store item's index properties, and the direct transactions.

#include "frame/thread_record.h"
#include "index/direct_transactions.h"
#include "index/item_insert.h"
#include "index/item_property.h"
#include "index/item_remove.h"
#include "qxstore.h"

namespace {

const char* NameOr(const char* item_name, const char* folder_name) {
  return item_name[0] != '\0' ? item_name : folder_name;
}

// The store item of a thread record (the calling thread's when null); false
// when there is no record or it has no folder open.
bool ItemOfRecord(void* item, qx::StoreItemView* view) {
  auto* record = item != nullptr ? static_cast<qx::STOREINDEXTYPE*>(item) : qx::TLSStoreIndex_Get();
  if (record == nullptr || record->folder_type < 0) return false;
  view->folder_type = static_cast<uint32_t>(record->folder_type);
  view->entry = record->current_item;
  view->postoffice = NameOr(record->item_postoffice, record->postoffice);
  view->mailbox = NameOr(record->item_mailbox, record->mailbox);
  view->folder = NameOr(record->item_folder, record->folder);
  view->folder_directory = record->item_folder_directory;
  return true;
}

}  // namespace

extern "C" {

QXSTORE_API uint32_t StoreIndex_InsertItem(StoreIndex* index, const char* file_name,
                                           uint32_t read_file) {
  return qx::StoreIndexInsertItem(index, file_name, read_file);
}

QXSTORE_API uint32_t StoreIndex_RemoveItem(StoreIndex* index, const char* file_name,
                                           uint32_t mode) {
  return qx::StoreIndexRemoveItem(index, file_name, mode);
}

QXSTORE_API uint32_t StoreIndex_SetItemPropertyItem(void* item, void* entry,
                                                    const char* property_name,
                                                    const void* value) {
  qx::StoreItemView view;
  if (property_name == nullptr || !ItemOfRecord(item, &view)) return 0;
  const pugi::xml_node target(static_cast<pugi::xml_node_struct*>(entry));
  return qx::SetItemPropertyItem(view, target, property_name, value);
}

QXSTORE_API uint32_t StoreIndex_GetItemPropertyItem(void* item, const char* property_name,
                                                    void** value, uint32_t* type) {
  qx::StoreItemView view;
  if (value != nullptr) *value = nullptr;
  if (property_name == nullptr || !ItemOfRecord(item, &view)) return 0;
  return qx::GetItemPropertyItem(view, property_name, value, type);
}

QXSTORE_API uint32_t Direct_StoreIndex_InsertItem(const char* postoffice, const char* mailbox,
                                                  const char* folder, const char* file_list) {
  return qx::DirectInsertItems(postoffice, mailbox, folder, file_list, nullptr);
}

QXSTORE_API uint32_t Direct_StoreIndex_InsertItemEx(const char* postoffice, const char* mailbox,
                                                    const char* folder, const char* file_list,
                                                    const char* flag_list) {
  return qx::DirectInsertItems(postoffice, mailbox, folder, file_list, flag_list);
}

QXSTORE_API uint32_t Direct_StoreIndex_UpdateItem(const char* postoffice, const char* mailbox,
                                                  const char* folder, const char* file_list,
                                                  const char* flag_changes) {
  return qx::DirectUpdateItems(postoffice, mailbox, folder, file_list, flag_changes);
}

QXSTORE_API uint32_t Direct_StoreIndex_RemoveItem(const char* postoffice, const char* mailbox,
                                                  const char* folder, const char* file_list) {
  return qx::DirectRemoveItems(postoffice, mailbox, folder, file_list);
}

}  // extern "C"
