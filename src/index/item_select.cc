#include "index/item_select.h"

#include <string>

#include "index/index_elements.h"
#include "index/index_format.h"
#include "index/store_index.h"
#include "platform/text_compare.h"

namespace qx {

using platform::EqualsNoCase;

namespace {

// Longest child text the case-blind field search looks at.
constexpr size_t kFieldCompareLimit = 259;

bool ValidFieldName(std::string_view field) {
  if (field.empty()) return false;
  for (char c : field) {
    const bool name_char = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
    if (!name_char) return false;
  }
  return true;
}

// The exact form: the first entry whose child of that name has a text equal
// to `value`. Walked rather than built as XPath text, so that a value holding
// a quote still finds its entry instead of breaking the expression.
pugi::xml_node FindExact(pugi::xml_node root, const std::string& field, std::string_view value) {
  for (pugi::xml_node entry : root.children(kEntryElement)) {
    for (pugi::xml_node child : entry.children(field.c_str())) {
      if (NodeText(child) == value) return entry;
    }
  }
  return pugi::xml_node();
}

pugi::xml_node FindIgnoringCase(pugi::xml_node root, const std::string& field,
                                std::string_view value) {
  for (pugi::xml_node entry : root.children(kEntryElement)) {
    std::string text = GetChildText(entry, field.c_str());
    if (text.size() > kFieldCompareLimit) text.resize(kFieldCompareLimit);
    if (EqualsNoCase(text, value)) return entry;
  }
  return pugi::xml_node();
}

}  // namespace

uint32_t SelectEntryById(const StoreIndex* index, pugi::xml_node* entry, std::string_view id) {
  if (index == nullptr || entry == nullptr) return 0;
  StoreIndexLock lock(index);
  const XmlDocument document = HeldDocument(index);
  if (!document) return 0;
  pugi::xml_node found = FindItemElement(document, id);
  if (!found) return 0;
  *entry = found;
  return 1;
}

uint32_t SelectEntryByField(const StoreIndex* index, pugi::xml_node* entry, std::string_view field,
                            std::string_view value, bool ignore_case) {
  if (index == nullptr || entry == nullptr || !ValidFieldName(field)) return 0;
  StoreIndexLock lock(index);
  const XmlDocument document = HeldDocument(index);
  if (!document) return 0;
  pugi::xml_node root = document.DocumentElement();
  if (!root || std::string_view(root.name()) != kRootElement) return 0;
  const std::string field_name(field);
  pugi::xml_node found =
      ignore_case ? FindIgnoringCase(root, field_name, value) : FindExact(root, field_name, value);
  if (!found) return 0;
  *entry = found;
  return 1;
}

}  // namespace qx
