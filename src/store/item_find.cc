#include "store/item_find.h"

#include "common/mutex.h"
#include "index/index_elements.h"
#include "index/index_open.h"
#include "index/index_registry.h"
#include "index/item_insert.h"
#include "index/item_remove.h"
#include "index/item_select.h"
#include "index/store_index.h"
#include "message/item_file_name.h"
#include "store/item_state.h"

namespace qx {

namespace {

// Loads the index document of a folder opened without it. Opens of one
// object are serialised by the index mutex.
void EnsureDocument(StoreIndex* index) {
  if (HeldDocument(index)) return;
  MutexLock index_lock(IndexMutex());
  if (!HeldDocument(index)) GetStoreIndex(index);
}

bool IsCalendarFeed(const STOREINDEXTYPE& record) {
  return record.folder_type == kFolderTypeICalendar;
}

}  // namespace

uint32_t FindFirstRecordItem(STOREINDEXTYPE& record) {
  if (IsCalendarFeed(record)) {
    ItemState& state = ItemStateOf(record);
    return state.calendar ? state.calendar->FindFirst() : 0;
  }
  if (record.index == nullptr) return 0;
  EnsureDocument(record.index);
  StoreIndexLock lock(record.index);
  RefreshItemHandles(record);
  return StartItemWalk(record) ? 1 : 0;
}

uint32_t FindNextRecordItem(STOREINDEXTYPE& record) {
  if (IsCalendarFeed(record)) {
    ItemState& state = ItemStateOf(record);
    return state.calendar ? state.calendar->FindNext() : 0;
  }
  if (record.index == nullptr) return 0;
  StoreIndexLock lock(record.index);
  RefreshItemHandles(record);
  return AdvanceItemWalk(record) ? 1 : 0;
}

uint32_t SelectRecordItem(STOREINDEXTYPE& record, std::string_view item_id) {
  if (record.index == nullptr) return 0;
  EnsureDocument(record.index);
  StoreIndexLock lock(record.index);
  RefreshItemHandles(record);
  pugi::xml_node entry;
  if (SelectEntryById(record.index, &entry, item_id) != 1) return 0;
  SetCurrentItem(record, entry);
  return 1;
}

uint32_t SelectRecordItemByField(STOREINDEXTYPE& record, std::string_view field,
                                 std::string_view value, bool ignore_case) {
  if (record.index == nullptr) return 0;
  EnsureDocument(record.index);
  StoreIndexLock lock(record.index);
  RefreshItemHandles(record);
  pugi::xml_node entry;
  if (SelectEntryByField(record.index, &entry, field, value, ignore_case) != 1) return 0;
  SetCurrentItem(record, entry);
  return 1;
}

uint32_t CreateRecordItem(STOREINDEXTYPE& record, std::string_view item_id) {
  if (record.index == nullptr) return 0;
  if (item_id.empty()) return 1;
  if (!IsPlainFileName(item_id)) return 0;
  EnsureDocument(record.index);
  StoreIndexLock lock(record.index);
  RefreshItemHandles(record);
  pugi::xml_node entry;
  if (SelectEntryById(record.index, &entry, item_id) == 1) {
    SetCurrentItem(record, entry);
    return 1;
  }
  EntryInsertOptions options;
  options.read_file = false;
  const uint32_t inserted = InsertIndexEntry(record.index, item_id, options, nullptr);
  if (inserted == 1) {
    SetCurrentItem(record, CurrentEntry(record.index));
    record.index->modified = 1;
  }
  return inserted;
}

uint32_t DeleteRecordItem(STOREINDEXTYPE& record, std::string_view item_id) {
  if (record.index == nullptr) return 0;
  const ItemKind* kind = ItemKindFor(static_cast<uint32_t>(record.folder_type));
  EnsureDocument(record.index);
  FillItemNames(record);
  StoreIndexLock lock(record.index);
  RefreshItemHandles(record);
  const XmlDocument document = HeldDocument(record.index);
  const pugi::xml_node entry = document ? FindItemElement(document, item_id) : pugi::xml_node();
  if (entry && kind != nullptr && kind->remove_item != nullptr) {
    ItemRef item = ItemRefOf(record);
    item.entry = entry;
    kind->remove_item(item);
  }
  record.index->modified = 1;
  const uint32_t removed = RemoveIndexEntry(record.index, item_id, nullptr);
  RefreshItemHandles(record);
  return removed;
}

}  // namespace qx
