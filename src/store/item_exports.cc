// The store-item family of the exported interface: StoreFolder_*,
// StoreItem_*, StoreItemProperty_GetType, Store_Save, and the item
// property calls of the index family. Every call works on the calling
// thread's record and runs here, never on a remote administration host.

#include <cstdlib>
#include <cstring>

#include "frame/thread_record.h"
#include "index/store_index.h"
#include "store/item_find.h"
#include "store/item_folder_open.h"
#include "store/item_properties.h"
#include "store/item_save.h"
#include "store/item_state.h"
#include "store/property_map.h"
#include "qxstore.h"

namespace {

qx::STOREINDEXTYPE* Record() { return qx::TLSStoreIndex_Get(); }

std::string_view TextOrEmpty(const char* text) { return text != nullptr ? text : ""; }

// Hands a read value to the caller: a pointer into the item (1) or the
// read's block (2).
int32_t HandOver(qx::PropertyRead& read, void** value, uint32_t* size) {
  if (read.result == 1) {
    *value = const_cast<char*>(read.in_item);
    if (size != nullptr) *size = static_cast<uint32_t>(std::strlen(read.in_item) + 1);
    return 1;
  }
  if (read.result != 2) return read.result;
  if (size != nullptr) *size = read.value.size();
  *value = read.value.Release();
  return 2;
}

bool HasFolder(const qx::STOREINDEXTYPE* record) {
  return record != nullptr && record->folder_type >= 0;
}

}  // namespace

extern "C" {

QXSTORE_API uint32_t StoreFolder_Open(const char* postoffice, const char* mailbox,
                                      const char* folder, uint32_t folder_type,
                                      uint32_t open_mode) {
  qx::STOREINDEXTYPE* record = Record();
  if (postoffice == nullptr || mailbox == nullptr || folder == nullptr || record == nullptr) {
    return 0;
  }
  return qx::OpenRecordFolder(*record, postoffice, mailbox, folder, folder_type, open_mode);
}

QXSTORE_API uint32_t StoreFolder_OpenItem(const char* postoffice, const char* mailbox,
                                          const char* folder, const char* item_id,
                                          uint32_t folder_type) {
  qx::STOREINDEXTYPE* record = Record();
  if (postoffice == nullptr || mailbox == nullptr || folder == nullptr || item_id == nullptr ||
      record == nullptr) {
    return 0;
  }
  return qx::OpenRecordItem(*record, postoffice, mailbox, folder, item_id, folder_type);
}

QXSTORE_API uint32_t StoreFolder_Close(void) {
  qx::STOREINDEXTYPE* record = Record();
  return record != nullptr ? qx::CloseRecordFolder(*record) : 1;
}

QXSTORE_API uint32_t StoreFolder_FindClose(void) {
  qx::STOREINDEXTYPE* record = Record();
  return record != nullptr ? qx::FindCloseRecordFolder(*record) : 1;
}

QXSTORE_API uint32_t StoreFolder_Save(uint32_t /*unused*/) {
  qx::STOREINDEXTYPE* record = Record();
  return record != nullptr ? qx::SaveRecordFolder(*record) : 1;
}

QXSTORE_API uint32_t Store_Save(uint32_t /*unused*/) { return qx::SaveAllFolders(); }

QXSTORE_API uint32_t StoreFolder_CreateItem(const char* item_id) {
  qx::STOREINDEXTYPE* record = Record();
  return record != nullptr ? qx::CreateRecordItem(*record, TextOrEmpty(item_id)) : 0;
}

QXSTORE_API uint32_t StoreFolder_DeleteItem(const char* item_id) {
  qx::STOREINDEXTYPE* record = Record();
  if (record == nullptr || item_id == nullptr) return 0;
  return qx::DeleteRecordItem(*record, item_id);
}

QXSTORE_API uint32_t StoreFolder_SelectItem(const char* item_id) {
  qx::STOREINDEXTYPE* record = Record();
  if (record == nullptr || item_id == nullptr) return 0;
  return qx::SelectRecordItem(*record, item_id);
}

QXSTORE_API uint32_t StoreFolder_SelectItemByField(const char* field, const char* value) {
  qx::STOREINDEXTYPE* record = Record();
  if (record == nullptr || field == nullptr || value == nullptr) return 0;
  return qx::SelectRecordItemByField(*record, field, value, false);
}

QXSTORE_API uint32_t StoreFolder_SelectItemByField_Ex(const char* field, const char* value,
                                                      uint32_t match_option) {
  qx::STOREINDEXTYPE* record = Record();
  if (record == nullptr || field == nullptr || value == nullptr) return 0;
  return qx::SelectRecordItemByField(*record, field, value, match_option != 0);
}

QXSTORE_API uint32_t StoreFolder_FindFirstItem(void) {
  qx::STOREINDEXTYPE* record = Record();
  return record != nullptr ? qx::FindFirstRecordItem(*record) : 0;
}

QXSTORE_API uint32_t StoreFolder_FindNextItem(void) {
  qx::STOREINDEXTYPE* record = Record();
  return record != nullptr ? qx::FindNextRecordItem(*record) : 0;
}

QXSTORE_API int32_t StoreItem_GetProperty(const char* name, void** value, uint32_t* size) {
  if (value == nullptr) return 0;
  *value = nullptr;
  qx::STOREINDEXTYPE* record = Record();
  if (name == nullptr || !HasFolder(record)) return 0;
  qx::PropertyRead read = qx::GetRecordProperty(*record, name);
  return HandOver(read, value, size);
}

QXSTORE_API uint32_t StoreItem_SetProperty(const char* item_id, const char* name,
                                           const void* value) {
  qx::STOREINDEXTYPE* record = Record();
  if (!HasFolder(record) || record->index == nullptr) return 0;
  if (name != nullptr) qx::SetRecordProperty(*record, TextOrEmpty(item_id), name, value);
  return 1;
}

QXSTORE_API uint32_t StoreItem_FreeProperty(void* value) {
  std::free(value);
  return 1;
}

QXSTORE_API uint32_t StoreItem_SaveToStore(void) {
  qx::STOREINDEXTYPE* record = Record();
  return record != nullptr ? qx::SaveRecordItem(*record) : 0;
}

QXSTORE_API uint32_t StoreItemProperty_GetType(const char* name, uint32_t folder_type) {
  return qx::PropertyCallerType(TextOrEmpty(name), folder_type);
}

QXSTORE_API uint32_t StoreIndex_SetItemPropertyItem(void* item, void* entry,
                                                    const char* property_name,
                                                    const void* value) {
  auto* record = item != nullptr ? static_cast<qx::STOREINDEXTYPE*>(item) : Record();
  if (property_name == nullptr || !HasFolder(record)) return 0;
  const qx::ItemKind* kind = qx::ItemKindFor(static_cast<uint32_t>(record->folder_type));
  if (kind == nullptr) return 0;
  qx::StoreIndexLock lock(record->index);
  if (record->index != nullptr) qx::RefreshItemHandles(*record);
  qx::ItemRef target = qx::ItemRefOf(*record);
  // Written as the entry's own document has it, without the index object.
  target.index = nullptr;
  if (entry != nullptr) target.entry = pugi::xml_node(static_cast<pugi::xml_node_struct*>(entry));
  return qx::WriteItemProperty(*kind, target, property_name, value) == qx::PropertyWrite::kWritten
             ? 1
             : 0;
}

QXSTORE_API uint32_t StoreIndex_GetItemPropertyItem(void* item, const char* property_name,
                                                    void** value, uint32_t* type) {
  if (value == nullptr) return 0;
  *value = nullptr;
  auto* record = item != nullptr ? static_cast<qx::STOREINDEXTYPE*>(item) : Record();
  if (property_name == nullptr || !HasFolder(record)) return 0;
  qx::PropertyRead read = qx::GetRecordProperty(*record, property_name);
  const int32_t result = HandOver(read, value, nullptr);
  if (result > 0 && type != nullptr) *type = read.caller_type;
  return result > 0 ? static_cast<uint32_t>(result) : 0;
}

}  // extern "C"
