#include "store/item_kinds.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "index/index_save.h"
#include "store/item_content.h"

namespace qx {

namespace {

const ItemKind kMessageKind{
    .table = PropertyTableFor(0),
    .default_component = DefaultComponentFor(0),
    .load_item = LoadMessageItem,
    .read_content = ReadMessageFileContent,
    .write_content = WriteMessageFileContent,
};

// Tasks are message files whose entries are kept by the store-item
// interface alone (a task folder is never scanned).
const ItemKind kTaskKind{
    .table = PropertyTableFor(3),
    .default_component = DefaultComponentFor(3),
    .load_item = LoadBareItem,
    .read_content = ReadMessageFileContent,
    .write_content = WriteMessageFileContent,
};

const ItemKind kFileKind{
    .table = PropertyTableFor(4),
    .default_component = DefaultComponentFor(4),
    .load_item = LoadBareItem,
    .read_content = ReadPlainFileContent,
};

std::atomic<CalendarFeedFactory> calendar_feed_factory{nullptr};

// The index save's writer for every type whose kind writes items.
bool WritePendingItem(StoreIndex* index, pugi::xml_node entry) {
  const ItemKind* kind = ItemKindFor(index->folder_type);
  if (kind == nullptr || kind->write_item == nullptr) return false;
  ItemRef item;
  item.index = index;
  item.entry = entry;
  item.folder_directory = index->folder_directory;
  item.folder_type = index->folder_type;
  item.postoffice = index->postoffice;
  item.mailbox = index->mailbox;
  item.folder = index->folder;
  return kind->write_item(item);
}

}  // namespace

// Written at library start (and by tests), read by every open and read: atomic
// so that a late registration is seen whole.
std::atomic<const ItemKind*> g_item_kinds[kItemKindSlots] = {&kMessageKind, nullptr, nullptr, &kTaskKind,
                                                             &kFileKind};

void RegisterItemKind(uint32_t folder_type, const ItemKind* kind) {
  if (folder_type >= kItemKindSlots) return;
  g_item_kinds[folder_type].store(kind);
  const bool writes = kind != nullptr && kind->write_item != nullptr;
  SetPendingItemWriter(folder_type, writes ? WritePendingItem : nullptr);
}

void RegisterCalendarFeed(CalendarFeedFactory factory) { calendar_feed_factory.store(factory); }

std::unique_ptr<CalendarFeed> NewCalendarFeed() {
  CalendarFeedFactory factory = calendar_feed_factory.load();
  return factory != nullptr ? factory() : nullptr;
}

}  // namespace qx
