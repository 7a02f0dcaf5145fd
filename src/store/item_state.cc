#include "store/item_state.h"

#include <algorithm>

#include "index/index_elements.h"
#include "index/index_format.h"
#include "index/item_remove.h"
#include "index/store_index.h"
#include "frame/utilities.h"

namespace qx {

namespace {

// Where the walk goes on in the new list: after the current item when it is
// still there, else at the place the removed current item had.
size_t NextPositionIn(const pugi::xpath_node_set& list, pugi::xml_node current, size_t old_next,
                      bool had_current) {
  if (current) {
    for (size_t i = 0; i < list.size(); ++i) {
      if (list[i].node() == current) return i + 1;
    }
  }
  const size_t next = had_current && old_next > 0 ? old_next - 1 : old_next;
  return std::min(next, list.size());
}

void RememberDocument(STOREINDEXTYPE& record, ItemState& state) {
  state.document = record.index != nullptr ? HeldDocument(record.index) : XmlDocument();
  state.removals = EntryRemovalCount();
}

}  // namespace

ItemState& ItemStateOf(STOREINDEXTYPE& record) {
  if (!record.item_state) record.item_state = std::make_unique<ItemState>();
  return static_cast<ItemState&>(*record.item_state);
}

void RefreshItemHandles(STOREINDEXTYPE& record) {
  ItemState& state = ItemStateOf(record);
  if (record.index == nullptr) {
    ClearItemHandles(record);
    return;
  }
  const XmlDocument held = HeldDocument(record.index);
  if (state.document.Same(held) && state.removals == EntryRemovalCount()) return;
  const bool had_current = static_cast<bool>(record.current_item);
  const bool had_list = !record.item_list.empty();
  record.current_item = had_current && held ? FindItemElement(held, state.current_id) : pugi::xml_node();
  if (had_list) {
    record.item_list = held ? SelectNodes(held.dom(), kAllEntriesPath) : pugi::xpath_node_set();
    state.next_position =
        NextPositionIn(record.item_list, record.current_item, state.next_position, had_current);
  }
  if (!record.current_item) state.current_id.clear();
  RememberDocument(record, state);
}

void SetCurrentItem(STOREINDEXTYPE& record, pugi::xml_node entry) {
  ItemState& state = ItemStateOf(record);
  record.current_item = entry;
  state.current_id = entry ? entry.attribute(kIdAttribute).value() : "";
  RememberDocument(record, state);
}

bool StartItemList(STOREINDEXTYPE& record) {
  ItemState& state = ItemStateOf(record);
  const XmlDocument held = record.index != nullptr ? HeldDocument(record.index) : XmlDocument();
  record.item_list = held ? SelectNodes(held.dom(), kAllEntriesPath) : pugi::xpath_node_set();
  RememberDocument(record, state);
  state.next_position = 0;
  return AdvanceItemList(record);
}

bool AdvanceItemList(STOREINDEXTYPE& record) {
  ItemState& state = ItemStateOf(record);
  if (state.next_position >= record.item_list.size()) {
    record.current_item = pugi::xml_node();
    state.current_id.clear();
    return false;
  }
  SetCurrentItem(record, record.item_list[state.next_position++].node());
  return true;
}

void ClearItemHandles(STOREINDEXTYPE& record) {
  record.current_item = pugi::xml_node();
  record.item_list = pugi::xpath_node_set();
  if (!record.item_state) return;
  ItemState& state = ItemStateOf(record);
  state.document = XmlDocument();
  state.current_id.clear();
  state.next_position = 0;
}

void FillItemNames(STOREINDEXTYPE& record) {
  if (record.index == nullptr || record.item_postoffice[0] != '\0') return;
  CopyBounded(record.item_postoffice, record.index->postoffice, sizeof record.item_postoffice);
  CopyBounded(record.item_mailbox, record.index->mailbox, sizeof record.item_mailbox);
  CopyBounded(record.item_folder, record.index->folder, sizeof record.item_folder);
  CopyBounded(record.item_folder_directory, record.index->folder_directory,
              sizeof record.item_folder_directory);
}

ItemRef ItemRefOf(const STOREINDEXTYPE& record) {
  ItemRef item;
  item.index = record.index;
  item.entry = record.current_item;
  item.folder_directory = record.item_folder_directory;
  item.folder_type = static_cast<uint32_t>(record.folder_type);
  item.postoffice = record.item_postoffice;
  item.mailbox = record.item_mailbox;
  item.folder = record.item_folder;
  return item;
}

}  // namespace qx
