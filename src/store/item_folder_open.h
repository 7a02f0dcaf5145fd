#pragma once
// Opening one folder (or one item of it) on the calling thread for the
// store-item interface, and closing it again: StoreFolder_Open,
// StoreFolder_OpenItem, StoreFolder_Close and StoreFolder_FindClose.
//
// A thread has at most one folder open. Its record names the folder and
// holds a counted reference to the folder's index object in the open index
// registry (index/index_registry.h): with affinity off, threads opening the
// same folder share one object; with affinity on, the key carries the
// record's serial and each thread has its own. Lock order: the registry
// mutex, the index mutex, then a StoreIndex mutex.

#include <cstdint>
#include <string_view>

#include "frame/thread_record.h"

namespace qx {

// The open mode that attaches to the folder's index object without loading
// its document (it is loaded by the first find or select).
inline constexpr uint32_t kOpenWithoutLoading = 200;

// StoreFolder_Open. 0 when a name does not fit its 1023 bytes, the folder
// type has no item kind (contacts, appointments and iCalendar until src/pim
// registers them: nothing is changed then), the index key does not fit, or
// the index does not open. 2 when this thread has the same key open already
// ("StoreFolder_Open::Piggybacking Index\n" is printed; nothing is
// reloaded), and for open mode 200 (attached, not loaded). Otherwise 1: the
// folder's index object was attached (created with the folder's names,
// type and directory when the registry had none) and opened in mode 1.
// A thread holding another folder lets it go first ("Thread superceeded
// current index. Closing Original and creating new\n").
// Folder type 5 opens a calendar feed instead, on the folder text when it
// begins with "http://" or "https://", else on
// mail root\postoffice\MAILROOT\mailbox\folder, and returns the feed's result. It returns 0,
// with a feed that holds no text, for names that would lead out of the
// store (frame/store_names.h; a link leading out, frame/store_roots.h) and
// for a folder text that holds "http://" without beginning with it.
uint32_t OpenRecordFolder(STOREINDEXTYPE& record, std::string_view postoffice,
                          std::string_view mailbox, std::string_view folder,
                          uint32_t folder_type, uint32_t open_mode);

// StoreFolder_OpenItem: the same under the single-item key (the item's
// identifier fourth). A new index object holds an empty index with only
// this item, loaded from its file by the kind (messages: from the file's
// headers), as the current item; the folder's own index file is never
// written through it (its object has no folder directory; the record keeps
// the directory as its item folder directory). 2 when the same key is open
// on this thread with its index loaded. 0 also when the identifier is not
// a plain file name or the item cannot be loaded.
uint32_t OpenRecordItem(STOREINDEXTYPE& record, std::string_view postoffice,
                        std::string_view mailbox, std::string_view folder,
                        std::string_view item_id, uint32_t folder_type);

// StoreFolder_Close: a type-5 folder's feed is closed; any other folder is
// let go (the names stay unless the index object was destroyed). 1.
uint32_t CloseRecordFolder(STOREINDEXTYPE& record);

// StoreFolder_FindClose: as CloseRecordFolder, and every name is cleared. 1.
uint32_t FindCloseRecordFolder(STOREINDEXTYPE& record);

}  // namespace qx
