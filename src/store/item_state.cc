#include "store/item_state.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "index/index_elements.h"
#include "index/index_format.h"
#include "index/item_remove.h"
#include "index/store_index.h"
#include "frame/bounded_text.h"

namespace qx {

namespace {

pugi::xml_node FirstEntry(const XmlDocument& document) {
  return document ? document.DocumentElement().child(kEntryElement) : pugi::xml_node();
}

pugi::xml_node EntryAt(const XmlDocument& document, size_t position) {
  pugi::xml_node entry = FirstEntry(document);
  for (size_t i = 0; i < position && entry; ++i) entry = entry.next_sibling(kEntryElement);
  return entry;
}

size_t PositionOf(pugi::xml_node entry) {
  size_t position = 0;
  for (pugi::xml_node before = entry.previous_sibling(kEntryElement); before;
       before = before.previous_sibling(kEntryElement)) {
    ++position;
  }
  return position;
}

pugi::xml_node FindAgain(const XmlDocument& document, const std::string& id) {
  return document ? FindItemElement(document, id) : pugi::xml_node();
}

void RememberDocument(STOREINDEXTYPE& record, ItemState& state) {
  if (record.index == nullptr) {
    state.document = XmlDocument();
  } else if (!HoldsDocument(record.index, state.document)) {
    state.document = HeldDocument(record.index);
  }
  state.removals = EntryRemovalCount();
}

// The ID the current item is found again by.
const std::string& CurrentId(const ItemState& state) {
  return state.current_is_cursor ? state.cursor_id : state.current_id;
}

void SetCurrentId(ItemState& state, std::string_view id) {
  state.current_id = id;
  state.current_is_cursor = false;
}

void EndWalk(ItemState& state) {
  // The current item keeps its ID when the walk ends under it.
  if (state.current_is_cursor) SetCurrentId(state, state.cursor_id);
  state.cursor = pugi::xml_node();
  state.resume = pugi::xml_node();
  state.cursor_id.clear();
  state.position = 0;
}

}  // namespace

ItemState& NewItemState(STOREINDEXTYPE& record) {
  record.item_state = std::make_unique<ItemState>();
  return static_cast<ItemState&>(*record.item_state);
}

void FindItemHandlesAgain(STOREINDEXTYPE& record, ItemState& state) {
  if (record.index == nullptr) {
    ClearItemHandles(record);
    return;
  }
  const XmlDocument held = HeldDocument(record.index);
  if (record.current_item) record.current_item = FindAgain(held, CurrentId(state));
  if (!record.current_item) SetCurrentId(state, {});
  if (state.cursor) {
    state.cursor = FindAgain(held, state.cursor_id);
    if (state.cursor) {
      state.position = PositionOf(state.cursor);
    } else {
      // The entry that took the removed one's place comes next.
      state.resume = EntryAt(held, state.position);
      if (!state.resume) EndWalk(state);
    }
  } else if (state.resume) {
    state.resume = EntryAt(held, state.position);
  }
  RememberDocument(record, state);
}

void SetCurrentItem(STOREINDEXTYPE& record, pugi::xml_node entry) {
  ItemState& state = ItemStateOf(record);
  record.current_item = entry;
  SetCurrentId(state, entry ? entry.attribute(kIdAttribute).value() : "");
  RememberDocument(record, state);
}

bool StartItemWalk(STOREINDEXTYPE& record) {
  ItemState& state = ItemStateOf(record);
  EndWalk(state);
  RememberDocument(record, state);
  state.cursor = FirstEntry(state.document);
  if (!state.cursor) {
    SetCurrentItem(record, pugi::xml_node());
    return false;
  }
  state.cursor_id = state.cursor.attribute(kIdAttribute).value();
  SetCurrentItem(record, state.cursor);
  return true;
}

bool AdvanceItemWalk(STOREINDEXTYPE& record) {
  ItemState& state = ItemStateOf(record);
  // Without a walk there is nothing to step on from; a selected item stays.
  if (!state.resume && !state.cursor) return false;
  pugi::xml_node next;
  if (state.resume) {
    next = state.resume;
  } else if (state.cursor) {
    next = state.cursor.next_sibling(kEntryElement);
    ++state.position;
  }
  state.resume = pugi::xml_node();
  if (!next) {
    EndWalk(state);
    SetCurrentItem(record, pugi::xml_node());
    return false;
  }
  state.cursor = next;
  state.cursor_id = next.attribute(kIdAttribute).value();
  record.current_item = next;
  state.current_is_cursor = true;
  // The refresh this needs has remembered the document already.
  return true;
}

void ClearItemHandles(STOREINDEXTYPE& record) {
  record.current_item = pugi::xml_node();
  record.item_list = pugi::xpath_node_set();
  if (!record.item_state) return;
  ItemState& state = ItemStateOf(record);
  state.document = XmlDocument();
  EndWalk(state);
  SetCurrentId(state, {});
}

const PropertyMapEntry* LookupAndKeepProperty(RecentProperties::Slot& slot, const ItemKind& kind,
                                              std::string_view name) {
  const std::optional<PropertyMapEntry> entry =
      LookupProperty(kind.table, kind.default_component, name);
  if (!entry) return nullptr;
  // A name too long to keep still needs its entry until the read is done.
  slot.address = name.size() <= RecentProperties::kNameLimit ? name.data() : nullptr;
  slot.table = kind.table.data();
  slot.length = std::min(name.size(), RecentProperties::kNameLimit);
  std::memcpy(slot.name, name.data(), slot.length);
  slot.entry = *entry;
  return &slot.entry;
}

void CopyItemNames(STOREINDEXTYPE& record) {
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
