// The item family of the exported interface: entries of a held index and
// the direct transactions. (A store item's properties are exported with the
// store-item interface, store/item_exports.cc.)

#include "index/direct_transactions.h"
#include "index/item_insert.h"
#include "index/item_remove.h"
#include "qxstore.h"

extern "C" {

QXSTORE_API uint32_t StoreIndex_InsertItem(StoreIndex* index, const char* file_name,
                                           uint32_t read_file) {
  return qx::StoreIndexInsertItem(index, file_name, read_file);
}

QXSTORE_API uint32_t StoreIndex_RemoveItem(StoreIndex* index, const char* file_name,
                                           uint32_t mode) {
  return qx::StoreIndexRemoveItem(index, file_name, mode);
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
