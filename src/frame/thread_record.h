#pragma once
// STOREINDEXTYPE: the per-thread record of the folder a thread has open and
// its counted hold on that folder's shared index object. One per thread,
// on the heap, owned by the store-index slot (thread_state.h).

#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "frame/thread_state.h"
#include "qxstore.h"

namespace qx {

// The state block of an open calendar-file folder (folder type 5).
inline constexpr size_t kProviderBufferSize = 504;

struct STOREINDEXTYPE {
  char postoffice[1024] = {};
  char mailbox[1024] = {};
  char folder[1024] = {};
  // The key the thread's index object is registered under; empty when none.
  char index_key[1024] = {};
  // The index element of the item selected last.
  pugi::xml_node current_item;
  // -1 until a folder is opened; 5 is a calendar file or "http://" feed.
  int32_t folder_type = -1;
  char item_postoffice[1024] = {};
  char item_mailbox[1024] = {};
  char item_folder[1024] = {};
  char item_folder_directory[1024] = {};
  // The "BASEELEMENT/ELEMENT" result the item find functions step through.
  pugi::xpath_node_set item_list;
  // This thread's counted reference to the shared index object, or null.
  StoreIndex* index = nullptr;
  // kProviderBufferSize bytes while a folder of type 5 is open, else null.
  std::unique_ptr<unsigned char[]> provider_buffer;
  // Distinguishes this record from every other live one in affinity-mode
  // index keys.
  uint32_t serial = 0;
  // What the store-item interface keeps beside current_item and item_list
  // (the list position, the document they belong to, an open calendar
  // feed); owned here so that it goes with the record.
  std::unique_ptr<ThreadOwned> item_state;
};

// The calling thread's record, created by TLSStoreIndex_Init when the slot
// is empty. Null when it cannot be allocated.
STOREINDEXTYPE* TLSStoreIndex_Get();

// Allocates an empty record and stores it in the store-index slot; a record
// already there is returned as it is. Null (and "TLSStoreIndex_Init::Unable
// to allocate STOREINDEXTYPE structure\n" to the debugger) when allocation
// fails.
STOREINDEXTYPE* TLSStoreIndex_Init();

}  // namespace qx
