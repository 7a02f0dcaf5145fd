#include "index/index_elements.h"

#include <algorithm>
#include <cstring>

#include "index/index_format.h"
#include "frame/number_text.h"

namespace qx {

namespace {

bool IsIndexSafe(unsigned char c) { return (c >= 0x20 && c < 0x80) || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

pugi::xml_node FindItemElement(const XmlDocument& document, std::string_view id) {
  if (!document) return pugi::xml_node();
  // The walk the path query would make, without building a query around
  // a file name that may hold quotes.
  for (pugi::xml_node root = document.dom().child(kRootElement); root; root = root.next_sibling(kRootElement)) {
    for (pugi::xml_node entry = root.child(kEntryElement); entry; entry = entry.next_sibling(kEntryElement)) {
      pugi::xml_attribute attribute = entry.attribute(kIdAttribute);
      if (attribute && std::string_view(attribute.value()) == id) return entry;
    }
  }
  return pugi::xml_node();
}

std::string IndexSafeText(std::string_view text) {
  std::string safe(text);
  for (char& c : safe) {
    if (!IsIndexSafe(static_cast<unsigned char>(c))) c = ' ';
  }
  return safe;
}

bool SetElementText(pugi::xml_node element, std::string_view text) {
  if (!element) return false;
  // Most texts are safe as they are and go in without a copy.
  std::string replaced;
  if (!std::all_of(text.begin(), text.end(), [](char c) { return IsIndexSafe(static_cast<unsigned char>(c)); })) {
    replaced = IndexSafeText(text);
    text = replaced;
  }
  pugi::xml_node first = element.first_child();
  if (first && first.type() == pugi::node_pcdata && !first.next_sibling() && !text.empty()) {
    return first.set_value(text.data(), text.size());
  }
  while (pugi::xml_node child = element.first_child()) element.remove_child(child);
  if (text.empty()) return true;
  pugi::xml_node text_node = element.append_child(pugi::node_pcdata);
  return text_node && text_node.set_value(text.data(), text.size());
}

std::string GetElementText(pugi::xml_node element) {
  pugi::xml_node first = element.first_child();
  return first ? std::string(first.value()) : std::string();
}

uint32_t GetElementNumber(pugi::xml_node element) {
  pugi::xml_node first = element.first_child();
  if (!first) return 0;
  return static_cast<uint32_t>(LeadingInteger(first.value()));
}

std::string GetChildText(pugi::xml_node entry, const char* name) {
  return GetElementText(entry.child(name));
}

bool SetChildText(pugi::xml_node entry, const char* name, std::string_view text) {
  if (!entry) return false;
  pugi::xml_node child = entry.child(name);
  if (!child) child = entry.append_child(name);
  return SetElementText(child, text);
}

}  // namespace qx
