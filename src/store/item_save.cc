#include "store/item_save.h"

#include "common/mutex.h"
#include "index/index_entry.h"
#include "index/index_registry.h"
#include "index/index_save.h"
#include "index/store_index.h"
#include "store/item_state.h"

namespace qx {

namespace {

void WriteBack(const ItemKind* kind, const ItemRef& item) {
  ClearEntryPending(item.entry);
  if (kind != nullptr && kind->write_item != nullptr) kind->write_item(item);
}

// The pending entries of an item opened alone, written with the record's
// folder directory (its index object has none).
void SaveSingleItem(STOREINDEXTYPE& record) {
  const ItemKind* kind = ItemKindFor(static_cast<uint32_t>(record.folder_type));
  StoreIndexLock lock(record.index);
  const pugi::xml_node root = HeldDocument(record.index).DocumentElement();
  ItemRef item = ItemRefOf(record);
  for (pugi::xml_node entry = root.first_child(); entry; entry = entry.next_sibling()) {
    if (!IsEntryPending(entry)) continue;
    item.entry = entry;
    WriteBack(kind, item);
  }
  record.index->modified = 0;
}

// The folder's pending items and its commit. The save takes the folder's
// block file without waiting, as does an open's check for changes: under
// the index mutex, which every open holds, the two never meet inside this
// process, so a save is not lost to a block this process holds itself. An
// object without a folder directory (an item opened alone, or one whose
// opener has not filled it in yet; both happen under the index mutex) has
// no index file to commit.
void SaveFolder(StoreIndex* index) {
  MutexLock index_lock(IndexMutex());
  if (index->folder_directory[0] != '\0') SavePendingItems(index);
}

}  // namespace

uint32_t SaveRecordFolder(STOREINDEXTYPE& record) {
  if (record.index == nullptr) return 1;
  if (ItemStateOf(record).single_item) {
    SaveSingleItem(record);
  } else {
    SaveFolder(record.index);
  }
  return 1;
}

uint32_t SaveAllFolders() {
  ForEachOpenIndex([](const std::string&, StoreIndex* index) { SaveFolder(index); });
  return 1;
}

uint32_t SaveRecordItem(STOREINDEXTYPE& record) {
  if (record.index == nullptr) return 0;
  FillItemNames(record);
  StoreIndexLock lock(record.index);
  RefreshItemHandles(record);
  if (!record.current_item || !IsEntryPending(record.current_item)) return 1;
  WriteBack(ItemKindFor(static_cast<uint32_t>(record.folder_type)), ItemRefOf(record));
  return 1;
}

}  // namespace qx
