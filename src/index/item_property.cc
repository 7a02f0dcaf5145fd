#include "index/item_property.h"

#include "index/held_index_state.h"
#include "index/index_elements.h"
#include "index/index_format.h"
#include "index/store_index.h"

namespace qx {

namespace {

constexpr const char* kPendingStatusText = "1";

pugi::xml_node EntryForIndexWrite(StoreIndex* index, pugi::xml_node entry,
                                  std::string_view item_id) {
  if (entry) return entry;
  const XmlDocument document = HeldDocument(index);
  if (!document) return entry;
  if (pugi::xml_node found = FindItemElement(document, item_id)) return found;
  pugi::xml_node root = document.DocumentElement();
  if (item_id.empty() || !root) return entry;
  pugi::xml_node created = AppendElement(root, kEntryElement);
  SetAttribute(created, kIdAttribute, item_id);
  NoteEntryInserted(index, item_id);
  return created;
}

}  // namespace

uint32_t SetEntryProperty(StoreIndex* index, pugi::xml_node* entry, std::string_view item_id,
                          const char* index_name, std::string_view text) {
  if (entry == nullptr || index_name == nullptr || index_name[0] == '\0') return 0;
  if (index != nullptr) *entry = EntryForIndexWrite(index, *entry, item_id);
  if (!*entry) return 0;
  if (!SetChildText(*entry, index_name, text)) return 0;
  SetChildText(*entry, kPendingStatusElement, kPendingStatusText);
  if (index != nullptr) {
    index->modified = 1;
    const std::string_view id = entry->attribute(kIdAttribute).value();
    NoteEntryChildSet(index, id, index_name);
    NoteEntryChildSet(index, id, kPendingStatusElement);
  }
  return 1;
}

}  // namespace qx
