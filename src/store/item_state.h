#pragma once
// What a thread's record keeps for the store-item interface beside its
// current item: the walk through the folder's entries (FindFirst and
// FindNext), the document both belong to, whether the record holds a
// folder or a single item, and the reader of an open calendar feed.
//
// The walk steps from entry to entry of the document ("BASEELEMENT/
// ELEMENT", in document order) rather than through a list taken at
// FindFirst: in a folder of many thousand messages a list would cost a
// pass over every entry before the first is read. Its cursor is its own
// node, so a select between two FindNext calls does not move it.
//
// The current item and the cursor are node handles into a document that
// other threads may share (affinity off). They go stale two ways: another
// thread's open reloads the document (the old document lives on, held
// here, so stale handles stay readable), or another thread removes an
// entry (its node is freed). So every use first calls RefreshItemHandles,
// which compares the document and the process's entry removal count with
// those the handles were taken under and, when either moved, finds both
// anew by their IDs. A walk whose cursor entry was removed goes on with the
// entry that took its place.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "frame/same_bytes.h"
#include "frame/thread_record.h"
#include "frame/thread_state.h"
#include "index/item_remove.h"
#include "index/store_index.h"
#include "store/item_kinds.h"
#include "xml/xml_document.h"

namespace qx {

// The property map entries a record looked up last, by the address of the
// caller's name: a walk asks for the same few names at every item, usually
// from the same addresses.
struct RecentProperties {
  static constexpr size_t kNameLimit = 48;
  struct Slot {
    const PropertyMapEntry* table = nullptr;
    const char* address = nullptr;
    size_t length = 0;
    char name[kNameLimit] = {};  // the name as the caller spelled it
    PropertyMapEntry entry;
  };
  Slot slots[16];
};

struct ItemState : ThreadOwned {
  // The document the current item and the walk are in, kept alive with them.
  XmlDocument document;
  // EntryRemovalCount() when the handles were taken.
  uint64_t removals = 0;
  // The ID of the current item, to find it again; while the current item is
  // the walk's cursor entry its ID is cursor_id alone (a walk copies one ID
  // per step, not two).
  std::string current_id;
  bool current_is_cursor = false;
  // The walk: the entry FindNext steps on from, its ID and its place among
  // the entries; or, after that entry was removed, the entry FindNext
  // hands out next.
  pugi::xml_node cursor;
  std::string cursor_id;
  size_t position = 0;
  pugi::xml_node resume;
  // The record holds one item opened alone (StoreFolder_OpenItem), not a
  // folder.
  bool single_item = false;
  // The reader of an open folder of type 5.
  std::unique_ptr<CalendarFeed> calendar;
  RecentProperties recent;
};

// The slot of the record's recent entries that `name` is kept in.
inline RecentProperties::Slot& RecentSlotFor(ItemState& state, std::string_view name) {
  // The address picks the slot; the caller's exact spelling decides.
  const uintptr_t address = reinterpret_cast<uintptr_t>(name.data());
  return state.recent.slots[((address * 0x9E3779B97F4A7C15ULL) >> 60) % std::size(state.recent.slots)];
}

// LookupRecentProperty when the slot does not hold the name.
const PropertyMapEntry* LookupAndKeepProperty(RecentProperties::Slot& slot, const ItemKind& kind,
                                              std::string_view name);

// LookupProperty in the kind's table, answered from the record's recent
// entries when `name` was looked up lately. The entry stays valid until the
// next lookup on this record; null when the table does not know the name.
// Inline: a walk asks at every item.
inline const PropertyMapEntry* LookupRecentProperty(ItemState& state, const ItemKind& kind,
                                                    std::string_view name) {
  RecentProperties::Slot& slot = RecentSlotFor(state, name);
  if (slot.address == name.data() && slot.table == kind.table.data() &&
      SameBytes(std::string_view(slot.name, slot.length), name)) [[likely]] {
    return &slot.entry;
  }
  return LookupAndKeepProperty(slot, kind, name);
}

// The record's state, created on first use.
ItemState& NewItemState(STOREINDEXTYPE& record);
// Inline: every call of the store-item interface begins with it.
inline ItemState& ItemStateOf(STOREINDEXTYPE& record) {
  if (!record.item_state) [[unlikely]] return NewItemState(record);
  return static_cast<ItemState&>(*record.item_state);
}

// RefreshItemHandles once the handles are known to be stale.
void FindItemHandlesAgain(STOREINDEXTYPE& record, ItemState& state);

// Makes the record's current item and walk cursor valid handles into the
// document its index object holds now (see above); without an index object
// both are dropped. Inline: every call of the interface asks, and the
// handles nearly always are still valid.
// REQUIRES: the StoreIndex mutex of record.index is held.
inline void RefreshItemHandles(STOREINDEXTYPE& record) {
  ItemState& state = ItemStateOf(record);
  if (record.index != nullptr && state.removals == EntryRemovalCount() &&
      HoldsDocument(record.index, state.document)) [[likely]] {
    return;
  }
  FindItemHandlesAgain(record, state);
}

// Makes `entry` (of the document record.index holds) the current item.
// REQUIRES: the StoreIndex mutex of record.index is held, and
// RefreshItemHandles ran while it was (the list stays as it is).
void SetCurrentItem(STOREINDEXTYPE& record, pugi::xml_node entry);

// Starts a walk at the first entry of the held document and makes it
// current. False (no current item) when there is none.
// REQUIRES: the StoreIndex mutex of record.index is held, and
// RefreshItemHandles ran while it was.
bool StartItemWalk(STOREINDEXTYPE& record);

// Makes the walk's next entry current. False at the end (the current item
// is then dropped) or without a walk (the current item stays).
// REQUIRES: as StartItemWalk.
bool AdvanceItemWalk(STOREINDEXTYPE& record);

// Drops the current item, the walk and the document they were in.
void ClearItemHandles(STOREINDEXTYPE& record);

// Fills the record's item names (postoffice, mailbox, folder and folder
// directory) from its index object when they are still empty.
void CopyItemNames(STOREINDEXTYPE& record);
// Inline: every property read and write begins with the test.
inline void FillItemNames(STOREINDEXTYPE& record) {
  if (record.index != nullptr && record.item_postoffice[0] == '\0') [[unlikely]] CopyItemNames(record);
}

// The current item as the kinds' hooks see it (the entry empty when there
// is none). REQUIRES: record.index is set.
ItemRef ItemRefOf(const STOREINDEXTYPE& record);

}  // namespace qx
