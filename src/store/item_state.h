#pragma once
// What a thread's record keeps for the store-item interface beside its
// current item and item list: the list position, the document both belong
// to, whether the record holds a folder or a single item, and the reader of
// an open calendar feed.
//
// The current item and the list are node handles into a document that
// other threads may share (affinity off). They go stale two ways: another
// thread's open reloads the document (the old document lives on, held
// here, so stale handles stay readable), or another thread removes an
// entry (its node is freed). So every use first calls RefreshItemHandles,
// which compares the document and the process's entry removal count with
// those the handles were taken under and, when either moved, takes the
// handles anew by the current item's ID. A walk then goes on after the
// current item in the new list, or, when the current item itself was
// removed, with the entry that took its place.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "frame/thread_record.h"
#include "frame/thread_state.h"
#include "store/item_kinds.h"
#include "xml/xml_document.h"

namespace qx {

struct ItemState : ThreadOwned {
  // The document current_item and item_list are in, kept alive with them.
  XmlDocument document;
  // EntryRemovalCount() when the handles were taken.
  uint64_t removals = 0;
  // The ID of the current item, to find it again.
  std::string current_id;
  // The item_list index of the entry FindNext hands out next.
  size_t next_position = 0;
  // The record holds one item opened alone (StoreFolder_OpenItem), not a
  // folder.
  bool single_item = false;
  // The reader of an open folder of type 5.
  std::unique_ptr<CalendarFeed> calendar;
};

// The record's state, created on first use.
ItemState& ItemStateOf(STOREINDEXTYPE& record);

// Makes the record's current item and item list valid handles into the
// document its index object holds now (see above); without an index object
// both are dropped.
// REQUIRES: the StoreIndex mutex of record.index is held.
void RefreshItemHandles(STOREINDEXTYPE& record);

// Makes `entry` (of the document record.index holds) the current item.
// REQUIRES: the StoreIndex mutex of record.index is held, and
// RefreshItemHandles ran while it was (the list stays as it is).
void SetCurrentItem(STOREINDEXTYPE& record, pugi::xml_node entry);

// Takes every entry of the held document ("BASEELEMENT/ELEMENT") as the
// item list and makes its first entry current. False (no current item) when
// there is none.
// REQUIRES: the StoreIndex mutex of record.index is held.
bool StartItemList(STOREINDEXTYPE& record);

// Makes the next entry of the item list current. False at the end of the
// list (the current item is then dropped) or without a list.
// REQUIRES: the StoreIndex mutex of record.index is held.
bool AdvanceItemList(STOREINDEXTYPE& record);

// Drops the current item, the list and the document they were in.
void ClearItemHandles(STOREINDEXTYPE& record);

// Fills the record's item names (postoffice, mailbox, folder and folder
// directory) from its index object when they are still empty.
void FillItemNames(STOREINDEXTYPE& record);

// The current item as the kinds' hooks see it (the entry empty when there
// is none). REQUIRES: record.index is set.
ItemRef ItemRefOf(const STOREINDEXTYPE& record);

}  // namespace qx
