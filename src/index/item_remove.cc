#include "index/item_remove.h"

#include <atomic>

#include "index/entry_lookup.h"
#include "index/index_elements.h"
#include "index/held_index_state.h"
#include "index/index_format.h"
#include "index/store_index.h"
#include "platform/diagnostics.h"

namespace qx {

std::atomic<uint64_t> g_entry_removals{0};

uint32_t RemoveIndexEntry(StoreIndex* index, std::string_view file_name, uint32_t* size,
                          EntryLookup* lookup) {
  if (index == nullptr) return 0;
  StoreIndexLock lock(index);
  const XmlDocument document = HeldDocument(index);
  if (!document || !document.DocumentElement()) return 0;
  pugi::xml_node entry =
      lookup != nullptr ? lookup->Find(file_name) : FindItemElement(document, file_name);
  if (!entry) return 0;
  if (size != nullptr) *size = GetElementNumber(entry.child(kSizeElement));
  // The current entry must not outlive the node it points at.
  if (CurrentEntry(index) == entry) SetCurrentEntry(index, pugi::xml_node());
  g_entry_removals.fetch_add(1);
  if (lookup != nullptr) lookup->Removed(entry);
  if (!RemoveChild(entry.parent(), entry)) return 0;
  NoteEntryRemoved(index, file_name);
  return 1;
}

uint32_t StoreIndexRemoveItem(StoreIndex* index, const char* file_name, uint32_t /*mode*/) {
  if (index == nullptr) {
    platform::DiagPrintf("WARNING!: StoreIndex is NULL when passed to RemoveStoreItemByMessageID\n");
    return 0;
  }
  if (file_name == nullptr) return 0;
  return RemoveIndexEntry(index, file_name, nullptr);
}

}  // namespace qx
