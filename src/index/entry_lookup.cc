#include "index/entry_lookup.h"

#include "index/index_format.h"

namespace qx {

namespace {

bool UnderIndexRoot(pugi::xml_node entry) {
  const pugi::xml_node root = entry.parent();
  return std::string_view(root.name()) == kRootElement && root.parent().type() == pugi::node_document;
}

}  // namespace

EntryLookup::EntryLookup(const XmlDocument& document) {
  if (!document) return;
  document_element_ = document.DocumentElement();
  for (pugi::xml_node root = document.dom().child(kRootElement); root;
       root = root.next_sibling(kRootElement)) {
    for (pugi::xml_node entry = root.child(kEntryElement); entry;
         entry = entry.next_sibling(kEntryElement)) {
      if (pugi::xml_attribute id = entry.attribute(kIdAttribute)) by_id_[id.value()].push_back(entry);
    }
  }
}

pugi::xml_node EntryLookup::Find(std::string_view id) const {
  const auto found = by_id_.find(std::string(id));
  return found == by_id_.end() || found->second.empty() ? pugi::xml_node() : found->second.front();
}

void EntryLookup::BuildRecords() {
  records_.clear();
  for (pugi::xml_node entry : document_element_.children(kEntryElement)) {
    const pugi::xml_attribute id = entry.attribute(kIdAttribute);
    if (!id) continue;
    if (records_.empty() || std::string_view(id.value()) > records_.rbegin()->first) {
      records_.emplace_hint(records_.end(), id.value(), entry);
    }
  }
  records_current_ = true;
}

pugi::xml_node EntryLookup::FirstEntryAfter(std::string_view id) {
  if (!records_current_) BuildRecords();
  const auto after = records_.upper_bound(id);
  return after == records_.end() ? pugi::xml_node() : after->second;
}

void EntryLookup::Inserted(pugi::xml_node entry) {
  const pugi::xml_attribute id = entry.attribute(kIdAttribute);
  if (!id) return;
  // Every entry before the new one sorts at or before its ID: it is a new
  // record unless one of them already holds that ID.
  if (records_current_ && entry.parent() == document_element_) records_.emplace(id.value(), entry);
  // Entries are inserted only for IDs that Find does not know, so the new
  // one is the only entry of its ID that the walk sees.
  if (UnderIndexRoot(entry)) by_id_[id.value()].push_back(entry);
}

void EntryLookup::Removed(pugi::xml_node entry) {
  const pugi::xml_attribute id = entry.attribute(kIdAttribute);
  if (!id) return;
  const auto found = by_id_.find(id.value());
  if (found != by_id_.end()) std::erase(found->second, entry);
  records_current_ = false;
}

}  // namespace qx
